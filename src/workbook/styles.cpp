#include "workbook/styles.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <utility>

#include "runtime/i18n.h"
#include "workbook/package.h"
#include "workbook/sheet_edit.h"

namespace stdlookup::workbook {
namespace {

// Built-in number formats that show a date (the CJK ones included).
bool builtin_date_format(int id) {
  return (id >= 14 && id <= 22) || (id >= 27 && id <= 36) || (id >= 45 && id <= 47) ||
         (id >= 50 && id <= 58);
}

// A format code shows a date when, outside quoted text, escapes and [brackets], it has a year
// or day part.
bool date_format_code(std::string_view code) {
  bool quoted = false;
  int bracket = 0;
  for (std::size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (quoted) {
      quoted = c != '"';
    } else if (c == '"') {
      quoted = true;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (c == '[') {
      ++bracket;
    } else if (c == ']') {
      bracket = std::max(0, bracket - 1);
    } else if (bracket == 0 && (c == 'y' || c == 'Y' || c == 'd' || c == 'D')) {
      return true;
    }
  }
  return false;
}

struct StylesList {
  std::string_view name;
  bool found = false;
  std::size_t tag_begin = 0, tag_end = 0, close_begin = 0;
  std::string tag;
  std::vector<std::pair<std::size_t, std::size_t>> items;
};

// Where the lists of fonts, fills and cell styles and their items lie, and the number formats.
class StylesMapper final : public XmlHandler {
 public:
  StylesMapper(std::string_view styles, std::array<StylesList, 3>& lists,
               std::map<int, std::string>& formats)
      : styles_(styles), lists_(lists), formats_(formats) {}
  std::string error, prefix;
  std::string root_open, root_close;  // the root's start and end tags

  void open(const XmlElement& element) override {
    const std::string_view name = element.name;
    const std::size_t depth = stack_.size();
    stack_.emplace_back(name);
    if (depth == 0) {
      if (is_strict(element.uri))
        error = tr("saved as Strict Open XML: save it as an ordinary Excel workbook (.xlsx)");
      root_open = "<" + tag_text(styles_, element) + ">";
      root_close = "</" + std::string(element.prefix) + (element.prefix.empty() ? "" : ":") +
                   std::string(name) + ">";
    }
    if (depth == 2 && name == "numFmt" && stack_[1] == "numFmts") {
      formats_[static_cast<int>(number_of(element.attribute("numFmtId"), 0))] =
          element.attribute("formatCode");
    }
    if (depth == 1) {
      for (StylesList& list : lists_) {
        if (name != list.name || list.found) continue;
        current_ = &list;
        list.found = true;
        list.tag_begin = element.begin, list.tag_end = element.end;
        list.tag = tag_text(styles_, element);
        list.close_begin = list.tag_end;
        prefix = element.prefix.empty() ? "" : std::string(element.prefix) + ":";
        if (styles_[list.tag_end - 2] == '/') error = tr("styles without a list the update needs");
      }
    }
    if (depth == 2 && current_ != nullptr) item_begin_ = element.begin;
  }
  void close(const XmlElement& element) override {
    if (!stack_.empty()) stack_.pop_back();
    const std::size_t depth = stack_.size();
    if (depth == 2 && current_ != nullptr) {
      current_->items.emplace_back(item_begin_, element.end);
    } else if (depth == 1 && current_ != nullptr) {
      current_->close_begin = element.begin;
      current_ = nullptr;
    }
  }

 private:
  std::string_view styles_;
  std::array<StylesList, 3>& lists_;
  std::map<int, std::string>& formats_;
  std::vector<std::string> stack_;
  StylesList* current_ = nullptr;
  std::size_t item_begin_ = 0;
};

}  // namespace

Status StylesEditor::load(std::string styles) {
  styles_ = std::move(styles);
  std::array<StylesList, 3> lists;
  lists[0].name = "fonts", lists[1].name = "fills", lists[2].name = "cellXfs";
  StylesMapper mapper(styles_, lists, formats_);
  XmlReader reader(mapper);
  if (!reader.feed(styles_).ok() || !reader.finish().ok()) return failure(tr(kDamaged));
  if (!mapper.error.empty()) return failure(mapper.error);
  prefix_ = mapper.prefix;
  root_open_ = mapper.root_open, root_close_ = mapper.root_close;
  List* mine[3] = {&fonts_, &fills_, &xfs_};
  for (std::size_t i = 0; i < 3; ++i) {
    if (!lists[i].found || lists[i].items.empty())
      return failure(tr("styles without a list the update needs"));
    mine[i]->found = true;
    mine[i]->tag_begin = lists[i].tag_begin, mine[i]->tag_end = lists[i].tag_end;
    mine[i]->close_begin = lists[i].close_begin;
    mine[i]->tag = lists[i].tag;
    for (auto [begin, end] : lists[i].items) mine[i]->items.push_back({begin, end});
  }
  return {};
}
StyleInfo StylesEditor::info(bool date1904) const {
  StyleInfo info;
  info.date1904 = date1904;
  for (std::size_t i = 0; i < xfs_.items.size(); ++i) {
    const std::string text = item_text(xfs_, i);
    const int id = static_cast<int>(number_of(tag_attribute(text.substr(1), "numFmtId"), 0));
    const auto custom = formats_.find(id);
    info.date_style.push_back(custom != formats_.end() ? date_format_code(custom->second)
                                                       : builtin_date_format(id));
  }
  return info;
}

std::string StylesEditor::item_text(const List& list, std::size_t index) const {
  if (index >= list.size()) index = 0;
  if (index >= list.items.size()) return list.added[index - list.items.size()];
  const Element& item = list.items[index];
  return styles_.substr(item.begin, item.end - item.begin);
}

int StylesEditor::find_or_add(List& list, const std::string& text) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (item_text(list, i) == text) return static_cast<int>(i);
  }
  list.added.push_back(text);
  changed_ = true;
  return static_cast<int>(list.size() - 1);
}

namespace {

constexpr const char* kHighlightColor = "FFFFFF99";
constexpr const char* kHighlightMark = "5A";  // the alpha byte of the background colour

// The fill a highlight fill of ours was made over (its index), or -1 when `fill` is none of ours.
long fill_under_highlight(const std::string& fill) {
  class Colours final : public XmlHandler {
   public:
    std::string pattern, foreground, background;
    void open(const XmlElement& element) override {
      if (element.name == "patternFill") pattern = element.attribute("patternType");
      if (element.name == "fgColor") foreground = element.attribute("rgb");
      if (element.name == "bgColor") background = element.attribute("rgb");
    }
  } colours;
  XmlReader reader(colours);
  if (!reader.feed(fill).ok() || !reader.finish().ok()) return -1;
  for (std::string* text : {&colours.foreground, &colours.background})
    for (char& c : *text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (colours.pattern != "solid" || colours.foreground != kHighlightColor ||
      colours.background.size() != 8 || !colours.background.starts_with(kHighlightMark))
    return -1;
  long index = 0;
  const char* digits = colours.background.data() + 2;
  const auto [end, error] = std::from_chars(digits, digits + 6, index, 16);
  return error == std::errc() && end == digits + 6 ? index : -1;
}

// An element's text from its start tag and what follows it, as split_start splits it.
std::string element(const std::string& tag, const std::string& rest) {
  return rest.empty() ? "<" + tag + "/>" : "<" + tag + ">" + rest;
}

// The start tag of an element's text (between "<" and ">") and what follows it.
std::pair<std::string, std::string> split_start(const std::string& element) {
  const std::size_t end = element.find('>');
  std::string tag = element.substr(1, end - 1);
  std::string rest = element.substr(end + 1);
  if (!tag.empty() && tag.back() == '/') tag.pop_back(), rest.clear();
  return {tag, rest};
}

}  // namespace

int StylesEditor::highlighted(int style) {
  if (const auto found = highlighted_.find(style); found != highlighted_.end())
    return found->second;
  auto [tag, rest] = split_start(item_text(xfs_, static_cast<std::size_t>(unhighlighted(style))));
  const std::string p = prefix_;
  char mark[16];
  std::snprintf(mark, sizeof mark, "%s%06zX", kHighlightMark,
                number_of(tag_attribute(tag, "fillId"), 0));
  const int fill =
      find_or_add(fills_, "<" + p + "fill><" + p + "patternFill patternType=\"solid\"><" + p +
                              "fgColor rgb=\"" + kHighlightColor + "\"/><" + p + "bgColor rgb=\"" +
                              mark + "\"/></" + p + "patternFill></" + p + "fill>");
  tag = with_attribute(with_attribute(tag, "fillId", std::to_string(fill)), "applyFill", "1");
  const int result = find_or_add(xfs_, element(tag, rest));
  highlighted_[style] = result;
  return result;
}

int StylesEditor::unhighlighted(int style) {
  if (style < 0 || static_cast<std::size_t>(style) >= xfs_.size()) return style;
  if (const auto found = unhighlighted_.find(style); found != unhighlighted_.end())
    return found->second;
  const auto [tag, rest] = split_start(item_text(xfs_, static_cast<std::size_t>(style)));
  int result = style;
  // A fill is read alone inside the root's tags, where the prefixes it uses are bound.
  const auto under = [&](std::size_t fill) {
    return fill_under_highlight(root_open_ + item_text(fills_, fill) + root_close_);
  };
  if (const long fill = under(number_of(tag_attribute(tag, "fillId"), fills_.size())); fill >= 0) {
    // The fill named, unless it is gone or ours too (the styles were saved over meanwhile).
    std::size_t original = static_cast<std::size_t>(fill);
    if (original >= fills_.size() || under(original) >= 0) original = 0;
    // The cell style it was made from: the same but for the fill.
    const auto plain = [](const std::string& xf_tag, const std::string& xf_rest) {
      return with_attribute(with_attribute(xf_tag, "fillId", ""), "applyFill", "") + xf_rest;
    };
    const std::string wanted = plain(tag, rest);
    result = -1;
    for (std::size_t i = 0; i < xfs_.size() && result < 0; ++i) {
      const auto [other, other_rest] = split_start(item_text(xfs_, i));
      if (number_of(tag_attribute(other, "fillId"), 0) == original &&
          plain(other, other_rest) == wanted)
        result = static_cast<int>(i);
    }
    if (result < 0)
      result =
          find_or_add(xfs_, element(with_attribute(tag, "fillId", std::to_string(original)), rest));
  }
  unhighlighted_[style] = result;
  return result;
}

int StylesEditor::bold(int style) {
  if (const auto found = bold_.find(style); found != bold_.end()) return found->second;
  auto [tag, rest] = split_start(item_text(xfs_, static_cast<std::size_t>(style)));
  const std::size_t font_id = number_of(tag_attribute(tag, "fontId"), 0);
  auto [font_tag, font_rest] = split_start(item_text(fonts_, font_id));
  int result = style;
  const std::string p = prefix_;
  if (font_rest.find("<" + p + "b/>") == std::string::npos &&
      font_rest.find("<" + p + "b ") == std::string::npos) {
    const int font = find_or_add(fonts_, "<" + font_tag + "><" + p + "b/>" + font_rest +
                                             (font_rest.empty() ? "</" + p + "font>" : ""));
    tag = with_attribute(with_attribute(tag, "fontId", std::to_string(font)), "applyFont", "1");
    result = find_or_add(xfs_, element(tag, rest));
  }
  bold_[style] = result;
  return result;
}

std::string StylesEditor::result() const {
  std::vector<Splice> splices;
  for (const List* list : {&fonts_, &fills_, &xfs_}) {
    if (list->added.empty()) continue;
    std::string text;
    for (const std::string& item : list->added) text += item;
    splices.push_back({list->close_begin, list->close_begin, text});
    if (!tag_attribute(list->tag, "count").empty()) {
      splices.push_back(
          {list->tag_begin, list->tag_end,
           "<" + with_attribute(list->tag, "count", std::to_string(list->size())) + ">"});
    }
  }
  return apply_splices(styles_, std::move(splices));
}

}  // namespace stdlookup::workbook
