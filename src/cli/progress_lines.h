// Progress of a long command on stderr: about ten lines however large the work, and none for
// work too small to want them.
#pragma once

#include <cstdint>
#include <ostream>
#include <string_view>

namespace velmora::cli {

class TProgressLines {
public:
    // Prints "COMMAND: DONE/TOTAL UNIT" at each tenth, when the total is at least `threshold`.
    TProgressLines(std::ostream& err, std::string_view command, std::string_view unit,
                   std::int64_t threshold = 0)
        : m_err(err), m_command(command), m_unit(unit), m_threshold(threshold) {}

    void operator()(std::int64_t done, std::int64_t total) {
        if (total < m_threshold || total <= 0) {
            return;
        }
        const std::int64_t tenth = done * 10 / total;
        if (tenth != m_shown) {
            m_shown = tenth;
            m_err << m_command << ": " << done << '/' << total << ' ' << m_unit << '\n';
        }
    }

private:
    std::ostream& m_err;
    std::string_view m_command;
    std::string_view m_unit;
    std::int64_t m_threshold;
    std::int64_t m_shown = -1;
};

}  // namespace velmora::cli
