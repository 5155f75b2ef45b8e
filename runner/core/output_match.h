#pragma once
// Whether a line of the program's output holds a check's text (output:TEXT), told as the
// output arrives in pieces that do not follow its lines: a text split between two pieces is
// found, and a line that holds it counts once, as soon as the text is there (the runner does
// not wait for the line's end: a program may print "Listening" and nothing after it).

#include <cstddef>
#include <string>
#include <string_view>

namespace qm::runner {

class COutputMatch {
 public:
  explicit COutputMatch(std::string strText) : m_strText(std::move(strText)) {}
  // The next piece of one stream; true when a line in it (or begun before it) holds the text
  // and had not yet counted.
  bool Feed(std::string_view data);

 private:
  std::string m_strText;
  std::string m_strTail;  // the current line's last bytes, fewer than the text's
  bool m_bLineCounted = false;
};

}  // namespace qm::runner
