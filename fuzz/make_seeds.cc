// veilmark-fuzz-seeds FOLDER: writes the fuzzer's starting inputs into
// FOLDER, small files in every encoding the fixtures know, with and without
// sequences, private elements, pixel data and a meta header, and patient
// names and study dates that are missing, empty or full of odd bytes.
#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "fixtures/fixture.h"

namespace {

struct Variant {
  const char* tag;
  void (*apply)(Fixture*);
};

bool EndsInBlank(const std::string& value) {
  return !value.empty() && value.back() == ' ';
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: veilmark-fuzz-seeds FOLDER\n");
    return 2;
  }
  const std::string folder = argv[1];
  ::mkdir(folder.c_str(), 0777);

  const std::vector<E_TransferSyntax> native = {
      EXS_LittleEndianImplicit, EXS_LittleEndianExplicit, EXS_BigEndianExplicit,
      EXS_DeflatedLittleEndianExplicit};
  const std::vector<E_TransferSyntax> encapsulated = {EXS_JPEGProcess1,
                                                      EXS_RLELossless};

  // Contents, each written in every native encoding.
  const std::vector<Variant> contents = {
      {"plain", [](Fixture*) {}},
      {"sequence", [](Fixture* f) { f->sequence = true; }},
      {"private", [](Fixture* f) { f->privateBytes = 200; }},
      // Above the load's read limit: read from the file during the save.
      {"largeprivate", [](Fixture* f) { f->privateBytes = 5000; }},
      {"pixels", [](Fixture* f) { f->pixelBytes = 512; }},
      {"all",
       [](Fixture* f) {
         f->sequence = true;
         f->privateBytes = 100;
         f->pixelBytes = 256;
       }},
      {"nul", [](Fixture* f) { f->patientName = std::string("D\0E^J", 5); }},
      {"high", [](Fixture* f) { f->patientName = "\xC3\xA9T\xFF^\x80"; }},
      {"blanks", [](Fixture* f) { f->patientName = " DOE^JOHN "; }},
      {"values", [](Fixture* f) { f->patientName = "DOE\\SMITH"; }},
      {"quotes", [](Fixture* f) { f->patientName = "DOE,\"JR\"^JOHN"; }},
      {"slash", [](Fixture* f) { f->patientName = "/DOE"; }},
      {"control", [](Fixture* f) { f->patientName = "\x01X\x1F"; }},
      {"onebyte", [](Fixture* f) { f->patientName = "X"; }},
      {"noname",
       [](Fixture* f) { f->patientNamePresence = Presence::kAbsent; }},
      {"emptyname",
       [](Fixture* f) { f->patientNamePresence = Presence::kEmpty; }},
      {"nodate", [](Fixture* f) { f->studyDatePresence = Presence::kAbsent; }},
      {"emptydate",
       [](Fixture* f) { f->studyDatePresence = Presence::kEmpty; }},
      {"longdate", [](Fixture* f) { f->studyDate = std::string(300, '7'); }},
      {"odddate", [](Fixture* f) { f->studyDate = "2007.08\\01 "; }},
  };

  int written = 0;
  auto write = [&](const std::string& name, const Fixture& fixture) {
    std::string error;
    if (!WriteFixture(folder + "/" + name, fixture, &error)) {
      std::fprintf(stderr, "veilmark-fuzz-seeds: %s: %s\n", name.c_str(),
                   error.c_str());
      return false;
    }
    ++written;
    return true;
  };

  for (E_TransferSyntax xfer : native) {
    for (const Variant& variant : contents) {
      Fixture fixture;
      fixture.xfer = xfer;
      variant.apply(&fixture);
      // The fixtures keep trailing blanks by patching the file, which a
      // deflated one does not allow.
      if (xfer == EXS_DeflatedLittleEndianExplicit &&
          (EndsInBlank(fixture.patientName) ||
           EndsInBlank(fixture.studyDate))) {
        continue;
      }
      if (!write("x" + std::to_string(xfer) + "-" + variant.tag, fixture)) {
        return 1;
      }
      // A bare dataset, as older files are, without the deflated one.
      if (xfer != EXS_DeflatedLittleEndianExplicit &&
          (variant.tag == std::string("plain") ||
           variant.tag == std::string("all"))) {
        fixture.metaHeader = false;
        if (!write("x" + std::to_string(xfer) + "-bare-" + variant.tag,
                   fixture)) {
          return 1;
        }
      }
    }
  }
  for (E_TransferSyntax xfer : encapsulated) {
    for (int frames : {1, 3}) {
      Fixture fixture;
      fixture.xfer = xfer;
      fixture.pixelBytes = 600;
      fixture.frames = frames;
      fixture.sequence = frames > 1;
      if (!write(
              "x" + std::to_string(xfer) + "-frames" + std::to_string(frames),
              fixture)) {
        return 1;
      }
    }
  }
  std::printf("%d seeds in %s\n", written, folder.c_str());
  return 0;
}
