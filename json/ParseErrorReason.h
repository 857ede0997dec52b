// nlohmann/json's parse errors in our words. Its messages quote the input, which must not
// reach a log, and speak of tokens; ours say what is wrong with the text.
#pragma once

#include <string>
#include <string_view>

// `message` is the error's what(), `lastToken` the text it quotes as last read, and
// `atEnd` whether the parser had reached the end of the input.
std::string ParseErrorReason(std::string_view message, const std::string& lastToken, bool atEnd);
