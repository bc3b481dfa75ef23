#pragma once

#include <cstdio>
#include <string_view>

namespace cmatinv {

// Writes a text of the dialogue as it stands: no format directives are interpreted.
inline void print(std::FILE* out, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), out);
}

}  // namespace cmatinv
