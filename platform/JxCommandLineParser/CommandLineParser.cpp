// CommandLineParser: the shared option loop and value readers.
#include "JxCommandLineParser/CommandLineParser.h"

#include "WzUtils/FXErrorUtil.h"

CWzError CommandLineParser::parse(int argc, const char* const* argv) {
    if (argc < 0 || (argc > 0 && argv == nullptr)) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "argv is missing");
    }
    for (int i = 1; i < argc; ++i) {
        if (argv[i] == nullptr) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "argv[%d] is null", i);
        const std::string name = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        CWzError error;
        Match match = TakeCommonOption(name, value, error);
        if (match == Match::No) match = TakeOption(name, value, error);
        if (error.IsError()) return error;
        if (match == Match::No) {
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "unknown option [%s]", name.c_str());
        }
        if (match == Match::Value) ++i;
    }
    return CWzError::Success();
}

CommandLineParser::Match CommandLineParser::TakeCommonOption(const std::string& name, const char* value,
                                                             CWzError& error) {
    if (name == "-j") {
        error = ReadNumber(name, value, m_jobId);
    } else if (name == "-token") {
        error = ReadText(name, value, m_jobToken);
    } else if (name == "-cn") {
        error = ReadText(name, value, m_clientName);
    } else if (name == "-rbs") {
        m_rbs = true;
        return Match::Switch;
    } else {
        return Match::No;
    }
    return Match::Value;
}

CWzError CommandLineParser::ReadText(const std::string& name, const char* value, std::string& out) {
    if (value == nullptr) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "option [%s] needs a value", name.c_str());
    }
    out = value;
    return CWzError::Success();
}

CWzError CommandLineParser::ReadNumber(const std::string& name, const char* value, uint64_t& out) {
    std::string text;
    if (CWzError e = ReadText(name, value, text); e.IsError()) return e;
    uint64_t v = 0;
    bool ok = !text.empty();
    for (char c : text) {
        unsigned digit = static_cast<unsigned>(c - '0');
        if (c < '0' || c > '9' || v > (UINT64_MAX - digit) / 10) {
            ok = false;
            break;
        }
        v = v * 10 + digit;
    }
    if (!ok) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "option [%s] needs a decimal number, not [%s]",
                                         name.c_str(), text.c_str());
    }
    out = v;
    return CWzError::Success();
}
