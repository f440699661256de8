#pragma once

namespace m2 {

// Told when the report sheet is being closed.
class ShowReportDelegate {
  public:
    virtual ~ShowReportDelegate() = default;
    virtual void reportDismissed() = 0;
};

}  // namespace m2
