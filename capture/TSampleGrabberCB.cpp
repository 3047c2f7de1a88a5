#include "capture/TSampleGrabberCB.h"

#include <QCoreApplication>

TGrabberEvent::TGrabberEvent(int message, TSampleGrabberCB* callback)
    : QEvent(TypeOf(message)), Message(message), Callback(callback)
{}

QEvent::Type TGrabberEvent::TypeOf(int message)
{
    static const QEvent::Type grabbed = QEvent::Type(QEvent::registerEventType());
    static const QEvent::Type rendered = QEvent::Type(QEvent::registerEventType());
    return message == WM_BITMAPGRABBED ? grabbed : rendered;
}

TSampleGrabberCB::~TSampleGrabberCB()
{
    ClearBuffer();
}

void TSampleGrabberCB::Post(int message)
{
    if (QObject* window = Window.load())
        QCoreApplication::postEvent(window, new TGrabberEvent(message, this));
}

HRESULT TSampleGrabberCB::BufferCB(double, const quint8* buffer, qint32 length)
{
    if (WantFrame.load()) {
        WantFrame.store(false);
        {
            std::lock_guard<std::mutex> guard(Lock);
            const qsizetype size = buffer ? std::max<qint32>(length, 0) : 0;
            Buffer.resize(size);
            if (size > 0)
                std::memcpy(Buffer.data(), buffer, size_t(size));
        }
        Post(TGrabberEvent::WM_BITMAPGRABBED);
    }
    Post(TGrabberEvent::WM_FRAMERENDERED);
    return Hr::S_OK;
}

void TSampleGrabberCB::ClearBuffer()
{
    std::lock_guard<std::mutex> guard(Lock);
    Buffer = QByteArray();
}

quint32 TSampleGrabberCB::BufferSize() const
{
    std::lock_guard<std::mutex> guard(Lock);
    return quint32(Buffer.size());
}
