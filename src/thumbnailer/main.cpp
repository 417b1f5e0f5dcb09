// orvane-thumbnailer: the picture of a fax file's first page for file
// managers (freedesktop thumbnailer entry: orvane-thumbnailer -s %s %i %o).
#include <CLI/CLI.hpp>
#include <iostream>

#include "core/at_work.h"
#include "thumbnailer/grey_png.h"
#include "thumbnailer/thumbnail.h"

namespace {

int fail(const std::filesystem::path& file, const std::string& message) {
  std::string line = "orvane-thumbnailer: " + file.string() + ": " + message;
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
      c = '?';  // one line, whatever the name holds
  std::cerr << line << "\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  // A file manager waits for the picture: a converter that hangs is given
  // up on sooner than in orvane-cli (ORVANE_CONVERTER_TIMEOUT still holds).
  orvane::set_converter_time_limit(10);
  CLI::App app{"Writes a PNG picture of a fax file's first page for file managers.",
               "orvane-thumbnailer"};
  app.set_version_flag("--version", "orvane-thumbnailer " ORVANE_VERSION);
  int size = 128;
  std::filesystem::path input, output;
  app.add_option("-s,--size", size, "Longest side of the picture in pixels")
      ->check(CLI::Range(1, 4096))
      ->capture_default_str();
  app.add_option("INPUT", input, "Fax file")->required();
  app.add_option("OUTPUT", output, "PNG file to write")->required();
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    // One line, whatever the arguments it echoes hold.
    std::string what = e.what();
    for (char& c : what)
      if (c == '\n') {
        c = ' ';
      } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
        c = '?';
      }
    std::cerr << "orvane-thumbnailer: " << what << "\n";
    return 2;
  }
  const orvane::thumbnailer::Thumbnail thumbnail = orvane::thumbnailer::make_thumbnail(input, size);
  if (!thumbnail.error.empty()) return fail(input, thumbnail.error);
  if (const std::string error = orvane::thumbnailer::write_grey_png(thumbnail.image, output);
      !error.empty())
    return fail(output, error);
  return 0;
}
