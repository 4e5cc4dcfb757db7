#include "gantrix/report/parse_fields.h"

#include "gantrix/report/scan_number.h"

namespace report {

std::string_view NextToken(std::string_view text, size_t& cursor) {
    if (cursor >= text.size()) {
        cursor = text.size();
        return {};
    }
    const size_t tab = text.find('\t', cursor);
    const size_t end = tab == std::string_view::npos ? text.size() : tab;
    const std::string_view token = text.substr(cursor, end - cursor);
    cursor = tab == std::string_view::npos ? end : end + 1;
    return token;
}

int ParseFields(const LogLine& line, std::string_view types,
                std::initializer_list<FieldOutput> outputs) {
    size_t cursor = line.fieldCursor;
    const FieldOutput* output = outputs.begin();
    int stored = 0;
    for (char type : types) {
        if (output == outputs.end()) break;
        const std::string_view token = NextToken(line.rawText, cursor);
        if (type == 's' && std::holds_alternative<std::string*>(*output)) {
            std::get<std::string*>(*output)->assign(token);
        } else if (type == 'i' && std::holds_alternative<int*>(*output)) {
            if (token.empty() || ScanInt(token, *std::get<int*>(*output)) == 0) break;
        } else if (type == 'f' && std::holds_alternative<float*>(*output)) {
            if (token.empty() || ScanFloat(token, *std::get<float*>(*output)) == 0) break;
        } else {
            break;
        }
        ++output;
        ++stored;
    }
    return stored;
}

}  // namespace report
