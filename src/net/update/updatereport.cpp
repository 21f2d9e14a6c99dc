#include "net/update/updatereport.h"

#include "base/utf.h"

#include <cstdio>

void ReportUpdateFailure(const char* stage, const std::string& reason, const char* subject)
{
    std::string line = std::string("qel: ") + stage + ": " + reason;
    if (subject != nullptr && *subject != 0) {
        line += std::string(" (") + subject + ")";
    }
    line += '\n';
    // One write, so that lines of concurrent writers do not interleave.
    (void)std::fwrite(line.data(), 1, line.size(), stderr);
    (void)std::fflush(stderr);
}

std::string DescribeExchangeFailure(const sExchangeFailure& failure)
{
    std::string text = ExchangeFailureText(failure.m_reason);
    if (failure.m_reason == eExchangeFailure::TlsAlert) {
        text += " (alert " + std::to_string(failure.m_alert) + ")";
    }
    return text;
}

std::string ReportText(const char16_t* text)
{
    _guardchar<char> narrow;
    if (text == nullptr || !WideToUtf8String(text, -1, narrow)) {
        return {};
    }
    return narrow.GetOrEmpty();
}
