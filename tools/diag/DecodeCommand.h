// tarvx-diag --decode: one report given in hex.
#pragma once

#include <ostream>
#include <string>

// Returns the exit code: ok when the report gives a card number.
int RunDecode(const std::string& hexText, std::ostream& out, std::ostream& err);
