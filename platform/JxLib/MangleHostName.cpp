// MangleHostName: "<host>*<client name>*<port1>*<port2>".
#include "JxLib/MangleHostName.h"

std::string MangleHostName(const std::string& host, const std::string& clientName, unsigned long port1,
                           unsigned long port2) {
    return host + "*" + clientName + "*" + std::to_string(port1) + "*" + std::to_string(port2);
}
