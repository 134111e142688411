#include "workbook/xml.h"

#include <charconv>

namespace stdlookup::workbook {
namespace {

void append_utf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The character a reference (between "&" and ";") stands for; 0 when it is none we know.
char32_t referenced(std::string_view name) {
  if (name == "lt") return '<';
  if (name == "gt") return '>';
  if (name == "amp") return '&';
  if (name == "quot") return '"';
  if (name == "apos") return '\'';
  if (name.size() < 2 || name[0] != '#') return 0;
  const bool hex = name[1] == 'x';
  const std::string_view digits = name.substr(hex ? 2 : 1);
  std::uint32_t code = 0;
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
  if (error != std::errc() || end != digits.data() + digits.size()) return 0;
  if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return code;
}

// Where the tag starting at `from` ("<") ends (its ">"), quotes respected; npos when not yet.
std::size_t tag_end(std::string_view text, std::size_t from) {
  char quote = 0;
  for (std::size_t i = from + 1; i < text.size(); ++i) {
    const char c = text[i];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return i;
    }
  }
  return std::string_view::npos;
}

std::string_view local_name(std::string_view name) {
  const std::size_t colon = name.rfind(':');
  return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

}  // namespace

void append_resolved(std::string_view raw, std::string& out) {
  for (std::size_t i = 0; i < raw.size();) {
    const std::size_t amp = raw.find('&', i);
    out.append(raw.substr(i, amp - i));
    if (amp == std::string_view::npos) return;
    const std::size_t semicolon = raw.find(';', amp);
    const char32_t c = semicolon == std::string_view::npos || semicolon - amp > 12
                           ? 0
                           : referenced(raw.substr(amp + 1, semicolon - amp - 1));
    if (c == 0) {
      out += '&';
      i = amp + 1;
    } else {
      append_utf8(c, out);
      i = semicolon + 1;
    }
  }
}

std::string attribute_of(std::string_view tag, std::string_view name) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
  std::size_t i = 0;
  while (i < tag.size() && !blank(tag[i])) ++i;  // the element's name
  for (;;) {
    while (i < tag.size() && blank(tag[i])) ++i;
    const std::size_t start = i;
    while (i < tag.size() && tag[i] != '=' && !blank(tag[i])) ++i;
    const std::string_view attribute = tag.substr(start, i - start);
    while (i < tag.size() && blank(tag[i])) ++i;
    if (attribute.empty() || i >= tag.size() || tag[i] != '=') return {};
    ++i;
    while (i < tag.size() && blank(tag[i])) ++i;
    if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) return {};
    const std::size_t end = tag.find(tag[i], i + 1);
    if (end == std::string_view::npos) return {};
    if (attribute == name) {
      std::string value;
      append_resolved(tag.substr(i + 1, end - i - 1), value);
      return value;
    }
    i = end + 1;
  }
}

bool XmlScanner::feed(std::string_view chunk) {
  if (failed_) return false;
  pending_.append(chunk);
  const std::string_view text = pending_;
  std::size_t pos = 0;
  std::string piece;
  const auto fail = [&] {
    failed_ = true;
    return false;
  };
  while (pos < text.size()) {
    if (text[pos] != '<') {
      const std::size_t lt = text.find('<', pos);
      std::size_t end = lt == std::string_view::npos ? text.size() : lt;
      if (lt == std::string_view::npos) {
        // A reference cut by the chunk's end waits for the rest.
        const std::size_t amp = text.rfind('&');
        if (amp != std::string_view::npos && amp >= pos && end - amp < 12 &&
            text.find(';', amp) == std::string_view::npos)
          end = amp;
      }
      piece.clear();
      append_resolved(text.substr(pos, end - pos), piece);
      if (!piece.empty()) handler_.text(piece);
      if (end == pos) break;
      pos = end;
      continue;
    }
    const std::string_view rest = text.substr(pos);
    std::size_t used = 0;  // bytes of a complete piece of markup; 0: wait for more
    if (rest.starts_with("<!--")) {
      const std::size_t end = rest.find("-->", 4);
      if (end != std::string_view::npos) used = end + 3;
    } else if (rest.starts_with("<![CDATA[")) {
      const std::size_t end = rest.find("]]>", 9);
      if (end != std::string_view::npos) {
        handler_.text(rest.substr(9, end - 9));
        used = end + 3;
      }
    } else if (rest.starts_with("<?")) {
      const std::size_t end = rest.find("?>", 2);
      if (end != std::string_view::npos) used = end + 2;
    } else if (rest.starts_with("<!")) {
      // Only a start cut short by the chunk's end waits; a declaration is refused.
      if (rest.size() >= 9 || (!std::string_view("<![CDATA[").starts_with(rest) &&
                               !std::string_view("<!--").starts_with(rest)))
        return fail();
    } else if (const std::size_t end = tag_end(rest, 0); end != std::string_view::npos) {
      std::string_view tag = rest.substr(1, end - 1);
      used = end + 1;
      markup_begin_ = consumed_ + pos;
      markup_end_ = markup_begin_ + used;
      if (tag.starts_with('/')) {
        tag.remove_prefix(1);
        handler_.close(local_name(tag.substr(0, tag.find_first_of(" \t\r\n"))));
      } else {
        const bool empty = tag.ends_with('/');
        if (empty) tag.remove_suffix(1);
        const std::string_view name = local_name(tag.substr(0, tag.find_first_of(" \t\r\n")));
        handler_.open(name, tag);
        if (empty) handler_.close(name);
      }
    }
    if (used == 0) {
      if (rest.size() > kTagBytes) return fail();
      break;
    }
    pos += used;
  }
  pending_.erase(0, pos);
  consumed_ += pos;
  return true;
}

bool XmlScanner::finish() {
  if (!failed_ && !pending_.empty() && pending_.front() != '<') {
    handler_.text(pending_);  // text ending in a lone "&..."
    pending_.clear();
  }
  return !failed_ && pending_.empty();
}

}  // namespace stdlookup::workbook
