// veilmark-fuzz-seeds FOLDER: writes the fuzzer's starting inputs into
// FOLDER: small files in every encoding the fixtures know, with and without
// sequences, private elements, pixel data and a meta header, and patient
// names and study dates that are missing, empty or full of odd bytes.
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "fixtures/fixture.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: veilmark-fuzz-seeds FOLDER\n");
    return 2;
  }
  ::mkdir(argv[1], 0777);
  const E_TransferSyntax xfers[] = {
      EXS_LittleEndianImplicit, EXS_LittleEndianExplicit,
      EXS_BigEndianExplicit,    EXS_DeflatedLittleEndianExplicit,
      EXS_JPEGProcess1,         EXS_RLELossless};
  const char* const names[] = {
      "DOE^JOHN",        "X",    "\xC3\xA9T\xFF^\x80", "DOE\\SMITH",
      "DOE,\"JR\"^JOHN", "/DOE", "\x01X\x1F"};
  int written = 0;
  for (E_TransferSyntax xfer : xfers) {
    for (int variant = 0; variant < 12; ++variant) {
      Fixture f;
      f.xfer = xfer;
      f.sequence = variant % 2;
      f.privateBytes = variant % 3 == 1 ? 200 : variant % 3 == 2 ? 5000 : 0;
      f.pixelBytes = variant % 4 < 2 ? 512 : 0;
      f.frames = DcmXfer(xfer).isEncapsulated() && variant % 2 ? 3 : 1;
      f.metaHeader = variant != 5 || xfer == EXS_DeflatedLittleEndianExplicit;
      f.patientName = names[variant % 7];
      if (variant == 7) f.patientNamePresence = Presence::kAbsent;
      if (variant == 8) f.studyDatePresence = Presence::kEmpty;
      if (variant == 9) f.studyDate = std::string(300, '7');
      if (variant == 10) f.studyDate = "2007.08\\01";
      if (variant == 11) f.patientName = std::string("D\0E^J", 5);
      std::string error, path = std::string(argv[1]) + "/x" +
                                std::to_string(xfer) + "-" +
                                std::to_string(variant);
      if (!WriteFixture(path, f, &error)) {
        std::fprintf(stderr, "veilmark-fuzz-seeds: %s: %s\n", path.c_str(),
                     error.c_str());
        return 1;
      }
      ++written;
    }
  }
  std::printf("%d seeds in %s\n", written, argv[1]);
  return 0;
}
