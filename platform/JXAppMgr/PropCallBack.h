// PropCallBack: receives the properties of an application-manager object as
// they are read, one call per property.
#pragma once

#include <memory>

class ApplProperty;

class PropCallBack {
public:
    virtual ~PropCallBack() = default;
    virtual void initPropCallback(std::shared_ptr<ApplProperty> property) = 0;
};
