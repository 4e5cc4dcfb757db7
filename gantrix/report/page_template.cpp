#include "gantrix/report/page_template.h"

namespace report {

std::string SubstituteTemplate(std::string_view pageTemplate, const TemplateDictionary& keys) {
    std::string text(pageTemplate.substr(0, pageTemplate.find('\0')));
    std::string replaced;
    for (const auto& [key, value] : keys) {
        const std::string placeholder = "%" + key.substr(0, kMaxKeyLength) + "%";
        size_t from = 0;
        size_t at = text.find(placeholder);
        if (at == std::string::npos) continue;
        replaced.clear();
        for (; at != std::string::npos; at = text.find(placeholder, from)) {
            replaced.append(text, from, at - from);
            replaced += value;
            from = at + placeholder.size();
        }
        replaced.append(text, from);
        text.swap(replaced);
    }
    return text;
}

}  // namespace report
