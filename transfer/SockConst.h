#pragma once

#include <QString>

// The socket error numbers and texts the stream components report, numbered as the socket
// library of the other copies numbers them, so that a text reads the same everywhere
// ("10061:Connection refused").
namespace SockConst {

constexpr int WouldBlock = 10035;
constexpr int NotConnected = 10057;
constexpr int HostNotFound = 11001;

// The number for an errno value; errno values without a counterpart map to 10000 + errno,
// which the table does not know ("Unknown Error No. ...").
int FromErrno(int errnoValue);

// The table text, or "Unknown Error No. " and the number.
QString ErrorText(int error);

// "10061:Connection refused": the number, a colon and the table text.
QString ErrorMessage(int error);

} // namespace SockConst
