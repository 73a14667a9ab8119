// Text helpers for tests: log and /proc lines cut into their fields.
#include "qxtest.h"

namespace qxt
{

std::vector<std::string> splitAtBlanks(const std::string &text, size_t from)
{
    std::vector<std::string> fields;
    while (from < text.size()) {
        size_t end = text.find(' ', from);
        fields.push_back(text.substr(from, end == std::string::npos ? std::string::npos : end - from));
        if (end == std::string::npos)
            break;
        from = end + 1;
    }
    return fields;
}

} // namespace qxt
