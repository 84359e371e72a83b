// veilmark-fixtures FOLDER COUNT [PIXEL_BYTES [FRAMES]]: writes COUNT
// synthetic .ima files of made-up patients into FOLDER, for trying the
// program and for benchmarks.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/fixture.h"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 5) {
    std::fprintf(
        stderr,
        "usage: veilmark-fixtures FOLDER COUNT [PIXEL_BYTES [FRAMES]]\n");
    return 2;
  }
  std::string folder = argv[1];
  long count = std::strtol(argv[2], nullptr, 10);
  size_t pixelBytes = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 4096;
  int frames = argc > 4 ? std::atoi(argv[4]) : 1;
  ::mkdir(folder.c_str(), 0777);

  static const char* const kNames[] = {
      "DOE^JOHN",       "SMITH^ANN",   "MULLER^KARL", "ROSSI^GIULIA",
      "TANAKA^HIROSHI", "NOVAK^EVA",   "GARCIA^LUIS", "OKAFOR^NGOZI",
      "LEROY^CLAIRE",   "JENSEN^MADS", "SILVA^ANA",   "KOWALSKI^PIOTR"};
  const int kNameCount = sizeof kNames / sizeof kNames[0];
  for (long i = 0; i < count; ++i) {
    Fixture fixture;
    fixture.patientName = kNames[i % kNameCount];
    char date[9];
    std::snprintf(date, sizeof date, "2007%02ld%02ld",
                  1 + (i / kNameCount) % 12, 1 + i % 28);
    fixture.studyDate = date;
    fixture.pixelBytes = pixelBytes;
    fixture.frames = frames;
    char name[32];
    std::snprintf(name, sizeof name, "IM%06ld.ima", i + 1);
    std::string error;
    if (!WriteFixture(folder + "/" + name, fixture, &error)) {
      std::fprintf(stderr, "veilmark-fixtures: %s: %s\n", name, error.c_str());
      return 1;
    }
  }
  return 0;
}
