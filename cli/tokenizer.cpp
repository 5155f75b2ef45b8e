#include "cli/tokenizer.h"

namespace qm::cli {

namespace {

bool IsBlank(char ch) {
  return ch == ' ' || ch == '\t';
}

}  // namespace

std::vector<Token> SplitCommandLine(std::string_view line) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  const std::size_t n = line.size();

  // The program name: quoted up to the next quote, otherwise up to the first blank.
  if (n != 0) {
    Token program{std::string(), 0};
    if (line[0] == '"') {
      i = 1;
      while (i < n && line[i] != '"') program.strText.push_back(line[i++]);
      if (i < n) ++i;
    }
    while (i < n && !IsBlank(line[i])) program.strText.push_back(line[i++]);
    tokens.push_back(std::move(program));
  }

  for (;;) {
    while (i < n && IsBlank(line[i])) ++i;
    if (i >= n) break;
    Token token{std::string(), i};
    bool bQuoted = false;
    while (i < n && (bQuoted || !IsBlank(line[i]))) {
      if (line[i] == '\\') {
        std::size_t cSlashes = 0;
        while (i < n && line[i] == '\\') ++cSlashes, ++i;
        if (i < n && line[i] == '"') {
          token.strText.append(cSlashes / 2, '\\');
          if (cSlashes % 2 == 1) {
            token.strText.push_back('"');
            ++i;
          }
        } else {
          token.strText.append(cSlashes, '\\');
        }
      } else if (line[i] == '"') {
        if (bQuoted && i + 1 < n && line[i + 1] == '"') {
          token.strText.push_back('"');
          i += 2;
        } else {
          bQuoted = !bQuoted;
          ++i;
        }
      } else {
        token.strText.push_back(line[i++]);
      }
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

std::string RawTail(std::string_view line, std::size_t nBegin) {
  if (nBegin >= line.size()) return std::string();
  std::size_t nEnd = line.size();
  while (nEnd > nBegin &&
         (IsBlank(line[nEnd - 1]) || line[nEnd - 1] == '\r' || line[nEnd - 1] == '\n')) {
    --nEnd;
  }
  return std::string(line.substr(nBegin, nEnd - nBegin));
}

std::string QuoteArgument(std::string_view text) {
  if (!text.empty() && text.find_first_of(" \t\"") == std::string_view::npos) {
    return std::string(text);
  }
  std::string strQuoted = "\"";
  std::size_t cSlashes = 0;
  for (char ch : text) {
    if (ch == '\\') {
      ++cSlashes;
      continue;
    }
    // Backslashes before a quote are doubled, and the quote escaped.
    strQuoted.append(ch == '"' ? cSlashes * 2 + 1 : cSlashes, '\\');
    cSlashes = 0;
    strQuoted.push_back(ch);
  }
  strQuoted.append(cSlashes * 2, '\\');  // before the closing quote
  strQuoted.push_back('"');
  return strQuoted;
}

bool FitsOnBatchLine(std::string_view text) {
  for (char ch : text) {
    if (static_cast<unsigned char>(ch) < 0x20 && ch != '\t') return false;
  }
  return true;
}

std::string EscapeForBatch(std::string_view line) {
  std::string strOut;
  bool bQuoted = false;
  for (char ch : line) {
    if (ch == '"') bQuoted = !bQuoted;
    if (ch == '%') {
      strOut += "%%";
      continue;
    }
    if (!bQuoted &&
        (ch == '&' || ch == '|' || ch == '<' || ch == '>' || ch == '^' || ch == '(' || ch == ')')) {
      strOut.push_back('^');
    }
    strOut.push_back(ch);
  }
  return strOut;
}

}  // namespace qm::cli
