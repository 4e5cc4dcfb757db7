#pragma once

namespace report::night {

// The style sheet of the summary and index pages. The pages fit a narrow window: graphs
// scale down, wide tables scroll inside their box.
extern const char* const kNightStyleSheet;

}  // namespace report::night
