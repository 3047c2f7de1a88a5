#pragma once

// Shows the busy cursor for as long as it lives, so the cursor comes back on every path out,
// errors included.
class TBusyCursor
{
public:
    TBusyCursor();
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};
