// Reading routes: XML and JSON through pugixml and nlohmann-json, the CSV table by hand. Numbers
// must be finite and fill their field; latitudes and longitudes must lie in their ranges.
#include "tools/route_read.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "tools/check_report.h"

namespace {

constexpr size_t quotedLength = 40;  // characters of bad input a message repeats

using json = nlohmann::json;

// Bad input as a message repeats it: short, and safe to print.
std::string shownText(const std::string& text) { return quoted(text, quotedLength); }

std::string trimmed(const std::string& text) {
  size_t start = 0, end = text.size();
  while (start < end && std::isspace(static_cast<unsigned char>(text[start]))) start++;
  while (end > start && std::isspace(static_cast<unsigned char>(text[end - 1]))) end--;
  return text.substr(start, end - start);
}

// A finite number that fills the whole text, blanks around it allowed.
bool parseNumber(const std::string& text, double* value) {
  std::string t = trimmed(text);
  if (t.empty()) return false;
  char* end = nullptr;
  *value = std::strtod(t.c_str(), &end);
  return end == t.c_str() + t.size() && std::isfinite(*value);
}

std::string pointName(size_t index) { return "point " + std::to_string(index + 1); }

bool checkDegrees(TRoutePoint p, size_t index, std::string* error) {
  if (p.y < -90.0 || p.y > 90.0) {
    *error = pointName(index) + ": latitude " + std::to_string(p.y) + " is outside -90 to 90";
    return false;
  }
  if (p.x < -180.0 || p.x > 180.0) {
    *error = pointName(index) + ": longitude " + std::to_string(p.x) + " is outside -180 to 180";
    return false;
  }
  return true;
}

bool roomForPoint(const TRoute& route, std::string* error) {
  if (route.points.size() < maxRoutePoints) return true;
  *error = "more than " + std::to_string(maxRoutePoints) + " points";
  return false;
}

// GPX: elements may carry a namespace prefix.
const char* localName(const pugi::xml_node& node) {
  const char* colon = std::strrchr(node.name(), ':');
  return colon != nullptr ? colon + 1 : node.name();
}

pugi::xml_node childNamed(const pugi::xml_node& parent, const char* name) {
  for (pugi::xml_node child : parent.children())
    if (child.type() == pugi::node_element && std::strcmp(localName(child), name) == 0) return child;
  return pugi::xml_node();
}

std::string nameOf(const pugi::xml_node& node) { return trimmed(childNamed(node, "name").child_value()); }

// Line numbers of the points, counted as the points come, which is in the order of the text.
class TLineCounter {
 public:
  explicit TLineCounter(const std::string& text) : text(text) {}
  int lineAt(ptrdiff_t offset) {
    size_t end = offset < 0 ? counted : std::min(text.size(), size_t(offset));
    for (; counted < end; counted++)
      if (text[counted] == '\n') line++;
    return line;
  }

 private:
  const std::string& text;
  size_t counted = 0;
  int line = 1;
};

// One number of a GPX point: an attribute, or the text of a child element when element is set.
bool gpxNumber(const pugi::xml_node& node, const char* name, bool element, size_t index, double* value,
               std::string* error) {
  std::string text = element ? trimmed(childNamed(node, name).child_value()) : node.attribute(name).value();
  if (text.empty() && element) return true;
  if (parseNumber(text, value)) return true;
  *error = pointName(index) + (text.empty() ? std::string(" has no ") + name
                                            : std::string(": ") + name + " " + shownText(text) + " is not a number");
  return false;
}

bool readGpxPoint(const pugi::xml_node& node, TLineCounter* lines, TRoute* route, std::string* error) {
  size_t index = route->points.size();
  TRoutePoint p = {0.0, 0.0, NAN, lines->lineAt(node.offset_debug())};
  if (!roomForPoint(*route, error) || !gpxNumber(node, "lat", false, index, &p.y, error) ||
      !gpxNumber(node, "lon", false, index, &p.x, error) || !checkDegrees(p, index, error) ||
      !gpxNumber(node, "ele", true, index, &p.height, error))
    return false;
  route->points.push_back(p);
  return true;
}

// The first track's segments joined, or else the first route's points.
bool readGpx(const std::string& text, TRoute* route, std::string* error) {
  route->format = "GPX";
  route->geographic = true;
  pugi::xml_document document;
  pugi::xml_parse_result parsed = document.load_buffer(text.data(), text.size());
  if (!parsed) {
    *error = std::string("not well-formed XML: ") + parsed.description() + " at byte " + std::to_string(parsed.offset);
    return false;
  }
  pugi::xml_node gpx = document.document_element();
  if (std::strcmp(localName(gpx), "gpx") != 0) {
    *error = "XML, but not GPX: its root element is " + shownText(gpx.name());
    return false;
  }
  TLineCounter lines(text);
  for (pugi::xml_node trk = childNamed(gpx, "trk"); trk && route->points.empty(); trk = trk.next_sibling(trk.name())) {
    for (pugi::xml_node segment : trk.children(childNamed(trk, "trkseg").name()))
      for (pugi::xml_node point : segment.children(childNamed(segment, "trkpt").name()))
        if (!readGpxPoint(point, &lines, route, error)) return false;
    route->name = nameOf(trk);
  }
  for (pugi::xml_node rte = childNamed(gpx, "rte"); rte && route->points.empty(); rte = rte.next_sibling(rte.name())) {
    for (pugi::xml_node point : rte.children(childNamed(rte, "rtept").name()))
      if (!readGpxPoint(point, &lines, route, error)) return false;
    route->name = nameOf(rte);
  }
  if (route->points.empty()) {
    *error = "GPX without a track or route point";
    return false;
  }
  if (route->name.empty()) route->name = nameOf(childNamed(gpx, "metadata"));
  if (route->name.empty()) route->name = nameOf(gpx);
  return true;
}

// GeoJSON: the members of an object, looked up without exceptions.
const json* member(const json& object, const char* key) {
  if (!object.is_object()) return nullptr;
  auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

std::string stringMember(const json& object, const char* key) {
  const json* value = member(object, key);
  return value != nullptr && value->is_string() ? trimmed(value->get<std::string>()) : "";
}

bool isLine(const json* geometry) {
  if (geometry == nullptr) return false;
  std::string type = stringMember(*geometry, "type");
  return type == "LineString" || type == "MultiLineString" || type == "Polygon";
}

std::string featureName(const json& feature) {
  const json* properties = member(feature, "properties");
  return properties != nullptr ? stringMember(*properties, "name") : "";
}

bool readPosition(const json& position, TRoute* route, std::string* error) {
  size_t index = route->points.size();
  if (!roomForPoint(*route, error)) return false;
  if (!position.is_array() || position.size() < 2) {
    *error = pointName(index) + " is not [longitude, latitude]";
    return false;
  }
  const char* names[] = {"longitude", "latitude", "height"};
  double values[] = {0.0, 0.0, NAN};
  for (size_t i = 0; i < 3 && i < position.size(); i++) {
    if (!position[i].is_number()) {
      *error = pointName(index) + ": " + names[i] + " is a JSON " + position[i].type_name() + ", not a number";
      return false;
    }
    values[i] = position[i].get<double>();
  }
  TRoutePoint p = {values[0], values[1], values[2], 0};
  if (!checkDegrees(p, index, error)) return false;
  route->points.push_back(p);
  return true;
}

bool readPositions(const json& line, TRoute* route, std::string* error) {
  if (!line.is_array()) {
    *error = "a line's coordinates are not a list of positions";
    return false;
  }
  for (const json& position : line)
    if (!readPosition(position, route, error)) return false;
  return true;
}

// A LineString, a MultiLineString's lines joined, or a Polygon's outer ring; bare, in a Feature
// or the first such in a FeatureCollection.
bool readGeoJson(const std::string& text, TRoute* route, std::string* error) {
  route->format = "GeoJSON";
  route->geographic = true;
  json document = json::parse(text, nullptr, false);
  if (document.is_discarded()) {
    *error = "not valid JSON";
    return false;
  }
  const json* geometry = nullptr;
  std::string type = stringMember(document, "type");
  if (type == "FeatureCollection") {
    const json* features = member(document, "features");
    if (features != nullptr && features->is_array()) {
      for (const json& feature : *features) {
        if (isLine(member(feature, "geometry"))) {
          geometry = member(feature, "geometry");
          route->name = featureName(feature);
          break;
        }
      }
    }
    if (route->name.empty()) route->name = stringMember(document, "name");
  } else if (type == "Feature") {
    geometry = member(document, "geometry");
    route->name = featureName(document);
  } else {
    geometry = &document;
  }
  if (!isLine(geometry)) {
    *error = "GeoJSON without a LineString, MultiLineString or Polygon";
    return false;
  }
  const json* coordinates = member(*geometry, "coordinates");
  type = stringMember(*geometry, "type");
  if (coordinates == nullptr || !coordinates->is_array() || (type != "LineString" && coordinates->empty())) {
    *error = type + " without coordinates";
    return false;
  }
  if (type == "LineString") return readPositions(*coordinates, route, error);
  if (type == "Polygon") return readPositions((*coordinates)[0], route, error);
  for (const json& line : *coordinates)
    if (!readPositions(line, route, error)) return false;
  return true;
}

// CSV: the fields of one line.
std::vector<std::string> fields(const std::string& line) {
  std::vector<std::string> out(1);
  for (char c : line) {
    if (c == ',')
      out.emplace_back();
    else
      out.back() += c;
  }
  for (std::string& field : out) field = trimmed(field);
  return out;
}

// A line naming the columns: every field one word, none a number.
bool isHeader(const std::vector<std::string>& names) {
  if (names.size() < 2) return false;
  double number;
  for (const std::string& name : names)
    if (name.empty() || parseNumber(name, &number) || name.find_first_of(" \t") != std::string::npos) return false;
  return true;
}

bool namesHeight(std::string name) {
  for (char& c : name) c = char(std::tolower(static_cast<unsigned char>(c)));
  for (const char* prefix : {"z", "ele", "height", "alt", "h_m"})
    if (name.compare(0, std::strlen(prefix), prefix) == 0) return true;
  return false;
}

// x and y in metres, and the third column as the height unless a header names it otherwise:
// published centre lines often put the road's widths there.
bool readCsv(const std::string& text, TRoute* route, std::string* error) {
  route->format = "CSV";
  route->geographic = false;
  bool heights = true, headerRead = false;
  int lineNumber = 0;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string::npos) end = text.size();
    std::string line = trimmed(text.substr(start, end - start));
    lineNumber++;
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    if (line.empty()) continue;
    bool comment = line[0] == '#';
    std::vector<std::string> row = fields(comment ? line.substr(1) : line);
    if (route->points.empty() && !headerRead && isHeader(row)) {
      heights = row.size() < 3 || namesHeight(row[2]);
      headerRead = !comment;
      continue;
    }
    if (comment) continue;
    if (!roomForPoint(*route, error)) return false;
    TRoutePoint p = {0.0, 0.0, NAN, lineNumber};
    if (row.size() < 2) {
      *error = "line " + std::to_string(lineNumber) + ": " + shownText(line) + " is not x,y";
      return false;
    }
    const std::string* bad = !parseNumber(row[0], &p.x)   ? &row[0]
                             : !parseNumber(row[1], &p.y) ? &row[1]
                             : (heights && row.size() > 2 && !row[2].empty() && !parseNumber(row[2], &p.height))
                                 ? &row[2]
                                 : nullptr;
    if (bad != nullptr) {
      *error = "line " + std::to_string(lineNumber) + ": " + shownText(*bad) + " is not a number";
      return false;
    }
    route->points.push_back(p);
  }
  if (route->points.empty()) {
    *error = "no points: not GPX, GeoJSON, or CSV with x,y on each line";
    return false;
  }
  return true;
}

}  // namespace

bool readRoute(const std::string& text, TRoute* route, std::string* error) {
  *route = TRoute();
  if (text.size() > maxRouteBytes) {
    *error = "larger than " + std::to_string(maxRouteBytes >> 20) + " MiB";
    return false;
  }
  if (text.find('\0') != std::string::npos) {
    *error = "binary data, not GPX, GeoJSON or CSV";
    return false;
  }
  size_t first = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  while (first < text.size() && std::isspace(static_cast<unsigned char>(text[first]))) first++;
  char c = first < text.size() ? text[first] : '\0';
  if (c == '<') return readGpx(text, route, error);
  if (c == '{' || c == '[') return readGeoJson(text, route, error);
  return readCsv(text, route, error);
}
