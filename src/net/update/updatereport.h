#pragma once
// The update mode's own account of why it failed: one line on standard error for each
// failure it ends with, shown whether or not the message boxes are ("quite" silences only
// the boxes), so that whoever runs the program learns the stage and the reason.
#include "base/types.h"
#include "net/http/exchangefailure.h"

#include <string>

// Writes "qel: <stage>: <reason>\n", with " (<subject>)" before the line end when
// `subject` is neither null nor empty.
void ReportUpdateFailure(const char* stage, const std::string& reason,
                         const char* subject = nullptr);

// The exchange's reason as a phrase, with the alert's number for a TLS alert
// ("TLS alert received (alert 48)").
std::string DescribeExchangeFailure(const sExchangeFailure& failure);

// `text` in UTF-8 (empty when it cannot be encoded), for the report.
std::string ReportText(const char16_t* text);
