// What the reader code makes of one input report, in words.
#pragma once

#include <cstdint>
#include <ostream>

#include "reader/CardReport.h"

// Writes the report in hex, whether it decodes, whether its check value matches and the
// card number the page would receive, and returns the reader code's verdict.
CardReportResult DescribeReport(const std::uint8_t* report, std::uint32_t byteCount, std::ostream& out);
