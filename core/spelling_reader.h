// The screen's spelling read back into bytes, for Send Text: "<CR>", "<LF>"
// and "<1bH>" (one or two hexadecimal digits, either case) become the bytes
// they spell; anything else, a "<" that begins no spelling included, stays as
// it is. So what the screen shows can be copied and sent back unchanged.
#pragma once
#include <string>

std::string ReadSpelled(const std::string& text);
