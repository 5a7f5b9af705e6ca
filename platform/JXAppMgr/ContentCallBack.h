// ContentCallBack: receives the content entries of a subclient as they are
// read, one call per entry with its kind.
#pragma once

#include <string>

class ContentCallBack {
public:
    virtual ~ContentCallBack() = default;
    virtual void initContentCallback(int kind, const std::string& text) = 0;
};
