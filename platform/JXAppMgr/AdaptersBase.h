// AdaptersBase: the base of the application manager's adapter objects (the
// settings and stored-procedure adapters), each of which may be deleted
// through it.
#pragma once

class AdaptersBase {
public:
    virtual ~AdaptersBase() = default;

protected:
    AdaptersBase() = default;
    AdaptersBase(const AdaptersBase&) = default;
    AdaptersBase& operator=(const AdaptersBase&) = default;
};
