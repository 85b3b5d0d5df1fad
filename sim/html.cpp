#include "sim/html.h"

#include <cstdio>

#include "host/rules.h"
#include "host/utf.h"

namespace addin::sim {

namespace {

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// How a value of a details list reads: a reference by its name or number, the rest as text.
std::string Shown(const Value& v) {
  if (v.IsObject()) {
    if (auto name = ReferenceName(v)) return Utf8(*name);
    return dynamic_cast<Object*>(v.AsObject().get()) ? "(empty reference)" : "(object)";
  }
  try {
    return v.IsText() && v.AsText().empty() ? "\"\"" : Utf8(ToText(v));
  } catch (const RuntimeError&) {
    return "(value)";
  }
}

// Border line types: 0 none, 3 a thin line, 4 a thick one, any other a dotted line.
std::string BorderSide(int type) {
  switch (type) {
    case 0: return "none";
    case 3: return "1px solid #555";
    case 4: return "2px solid #222";
    default: return "1px dotted #777";
  }
}

}  // namespace

std::string RenderSheet(const Sheet& sheet, const std::string& title, const std::string& footer,
                        const std::string& failure) {
  std::string html =
      "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + Escape(title) +
      "</title>\n<style>\n"
      "body{font:13px sans-serif;margin:16px}\n"
      "table.sheet{border-collapse:collapse}\n"
      "td.section{padding:0;vertical-align:top}\n"
      ".areas{display:flex}\n"
      ".area{flex:none;width:3.5em;height:1.5em;padding:2px 4px;box-sizing:border-box;white-space:nowrap;"
      "overflow:hidden;text-overflow:ellipsis;border:1px solid #eee}\n"
      ".area[data-area=\"Часы\"]{width:8em;color:#333}\n"
      ".area[data-area=\"Документ\"]{width:20em}\n"
      ".area[data-area=\"Метка\"],.area[data-area=\"МеткаЗоны\"]{width:1.7em;text-align:center}\n"
      ".area[data-area=\"Район\"]{width:29.8em;font-weight:bold}\n"
      ".area[title]{cursor:help}\n"
      "p.failure{color:#a00000;font-weight:bold}\n"
      "</style></head><body>\n<h1>" +
      Escape(title) + "</h1>\n";
  if (!failure.empty()) html += "<p class=\"failure\">" + Escape(failure) + "</p>\n";
  html += "<table class=\"sheet\">\n";
  for (const auto& line : sheet.lines) {
    html += "<tr>";
    for (const Section* section : line) {
      html += "<td class=\"section\" data-section=\"" + Escape(Utf8(section->name)) + "\"><div class=\"areas\">";
      for (const Area* area : section->areas) {
        std::string style;
        if (area->border.size() == 4) {
          const char* sides[] = {"left", "top", "right", "bottom"};
          for (int i = 0; i < 4; ++i) style += std::string("border-") + sides[i] + ":" + BorderSide(area->border[i]) + ";";
        }
        if (area->color >= 0) {  // the platform's colours are 0x00BBGGRR
          char rgb[16];
          std::snprintf(rgb, sizeof rgb, "#%02x%02x%02x", static_cast<unsigned>(area->color & 0xFF),
                        static_cast<unsigned>((area->color >> 8) & 0xFF), static_cast<unsigned>((area->color >> 16) & 0xFF));
          style += std::string("background:") + rgb + ";";
        }
        html += "<div class=\"area\" data-area=\"" + Escape(Utf8(area->name)) + "\"";
        if (area->color >= 0) html += " data-color=\"" + std::to_string(area->color) + "\"";
        if (!style.empty()) html += " style=\"" + style + "\"";
        if (area->hasDetails) {
          std::string details;
          for (const Value& v : area->details) details += (details.empty() ? "" : " | ") + Shown(v);
          html += " title=\"" + Escape(details) + "\"";
        }
        auto text = area->members.find(u"Текст");
        const bool shown = text != area->members.end() && !(text->second.IsText() && text->second.AsText().empty());
        html += ">" + Escape(shown ? Shown(text->second) : "") + "</div>";
      }
      html += "</div></td>";
    }
    html += "</tr>\n";
  }
  html += "</table>\n";
  if (!footer.empty()) html += "<p class=\"footer\">" + Escape(footer) + "</p>\n";
  html += "</body></html>\n";
  return html;
}

}  // namespace addin::sim
