#include "tests/fixture.h"

#include <fstream>
#include <iterator>
#include <vector>

#include "dcmtk/dcmdata/dcdeftag.h"
#include "dcmtk/dcmdata/dcpixel.h"
#include "dcmtk/dcmdata/dcpixseq.h"
#include "dcmtk/dcmdata/dcpxitem.h"
#include "dcmtk/dcmdata/dcuid.h"
#include "dcmtk/dcmdata/dcvrpn.h"

namespace {

void PutText(DcmItem* item, const DcmTagKey& key, const std::string& bytes,
             Presence presence) {
  if (presence == Presence::kAbsent) return;
  if (presence == Presence::kEmpty) {
    item->insertEmptyElement(DcmTag(key), OFTrue);
    return;
  }
  // putString with an explicit length keeps every byte, NULs included.
  DcmTag tag(key);
  DcmElement* element = DcmItem::newDicomElement(tag);
  element->putString(bytes.data(), static_cast<Uint32>(bytes.size()));
  item->insert(element, OFTrue);
}

std::vector<Uint8> Pattern(size_t bytes, unsigned seed) {
  std::vector<Uint8> data(bytes);
  for (size_t i = 0; i < bytes; ++i) {
    data[i] = static_cast<Uint8>((i * 31 + seed * 7 + (i >> 9)) & 0xFF);
  }
  return data;
}

void PutPixelData(DcmDataset* dataset, const Fixture& fixture) {
  unsigned rows = 1, columns = static_cast<unsigned>(fixture.pixelBytes / 2);
  dataset->putAndInsertUint16(DCM_SamplesPerPixel, 1);
  dataset->putAndInsertString(DCM_PhotometricInterpretation, "MONOCHROME2");
  dataset->putAndInsertUint16(DCM_BitsAllocated, 16);
  dataset->putAndInsertUint16(DCM_BitsStored, 16);
  dataset->putAndInsertUint16(DCM_HighBit, 15);
  dataset->putAndInsertUint16(DCM_PixelRepresentation, 0);
  dataset->putAndInsertString(DCM_NumberOfFrames,
                              std::to_string(fixture.frames).c_str());
  dataset->putAndInsertUint16(DCM_Rows, static_cast<Uint16>(rows));
  dataset->putAndInsertUint16(
      DCM_Columns, static_cast<Uint16>(columns > 65535 ? 65535 : columns));

  std::vector<Uint8> data = Pattern(fixture.pixelBytes, 1);
  DcmXfer xfer(fixture.xfer);
  if (!xfer.isEncapsulated()) {
    dataset->putAndInsertUint16Array(
        DCM_PixelData, reinterpret_cast<const Uint16*>(data.data()),
        static_cast<unsigned long>(data.size() / 2));
    return;
  }
  auto* pixelData = new DcmPixelData(DCM_PixelData);
  auto* sequence = new DcmPixelSequence(DcmTag(DCM_PixelData, EVR_OB));
  sequence->insert(new DcmPixelItem(DcmTag(DCM_Item, EVR_OB)));  // offsets
  size_t per_frame = data.size() / static_cast<size_t>(fixture.frames);
  for (int f = 0; f < fixture.frames; ++f) {
    auto* fragment = new DcmPixelItem(DcmTag(DCM_Item, EVR_OB));
    fragment->putUint8Array(data.data() + f * per_frame,
                            static_cast<unsigned long>(per_frame));
    sequence->insert(fragment);
  }
  pixelData->putOriginalRepresentation(fixture.xfer, nullptr, sequence);
  dataset->insert(pixelData, OFTrue);
}

void PutSequence(DcmDataset* dataset) {
  DcmItem* item = nullptr;
  dataset->findOrCreateSequenceItem(DCM_ReferencedImageSequence, item, 0);
  item->putAndInsertString(DCM_ReferencedSOPClassUID,
                           UID_SecondaryCaptureImageStorage);
  item->putAndInsertString(DCM_ReferencedSOPInstanceUID, "1.2.3.4.5.6");
  DcmItem* nested = nullptr;
  item->findOrCreateSequenceItem(DCM_PurposeOfReferenceCodeSequence, nested, 0);
  nested->putAndInsertString(DCM_CodeValue, "121311");
  nested->putAndInsertString(DCM_CodeMeaning, "Localizer");
  dataset->findOrCreateSequenceItem(DCM_ReferencedImageSequence, item, 1);
  item->putAndInsertString(DCM_ReferencedSOPInstanceUID, "1.2.3.4.5.7");
}

}  // namespace

void BuildDataset(const Fixture& fixture, DcmDataset* dataset) {
  static unsigned counter = 0;
  std::string uid = fixture.sopInstanceUid;
  if (uid.empty()) {
    char buffer[100];
    uid = dcmGenerateUniqueIdentifier(buffer, SITE_INSTANCE_UID_ROOT);
    uid += "." + std::to_string(++counter);
  }
  dataset->putAndInsertString(DCM_SOPClassUID,
                              UID_SecondaryCaptureImageStorage);
  dataset->putAndInsertString(DCM_SOPInstanceUID, uid.c_str());
  PutText(dataset, DCM_StudyDate, fixture.studyDate, fixture.studyDatePresence);
  dataset->putAndInsertString(DCM_Modality, "OT");
  PutText(dataset, DCM_PatientName, fixture.patientName,
          fixture.patientNamePresence);
  dataset->putAndInsertString(DCM_PatientID, "PID-0001");
  dataset->putAndInsertString(DCM_StudyInstanceUID, "1.2.3.4.1");
  dataset->putAndInsertString(DCM_SeriesInstanceUID, "1.2.3.4.2");
  if (fixture.sequence) PutSequence(dataset);
  if (fixture.privateBytes > 0) {
    dataset->putAndInsertString(DcmTag(0x0029, 0x0010, EVR_LO),
                                "VEILMARK TEST");
    std::string text(fixture.privateBytes, 'x');
    for (size_t i = 0; i < text.size(); i += 61) text[i] = 'A' + (i / 61) % 26;
    dataset->putAndInsertString(DcmTag(0x0029, 0x1010, EVR_LT), text.c_str());
  }
  if (fixture.pixelBytes > 0) PutPixelData(dataset, fixture);
}

namespace {

bool EndsInBlank(const std::string& value, Presence presence) {
  return presence == Presence::kValue && !value.empty() && value.back() == ' ';
}

// The toolkit drops trailing blanks when it writes a text value. A value
// that must keep them is written as a placeholder of its length, whose
// bytes are then replaced in the file.
std::string Placeholder(char c, const std::string& value) {
  return std::string(value.size(), c);
}

bool Patch(const std::string& path, const std::string& placeholder,
           const std::string& value, std::string* error) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(in)),
                    std::istreambuf_iterator<char>());
  size_t at = bytes.find(placeholder);
  if (at == std::string::npos) {
    *error = "placeholder not found (deflated?)";
    return false;
  }
  bytes.replace(at, value.size(), value);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

}  // namespace

bool WriteFixture(const std::string& path, const Fixture& fixture,
                  std::string* error) {
  Fixture written = fixture;
  bool patchName =
      EndsInBlank(fixture.patientName, fixture.patientNamePresence);
  bool patchDate = EndsInBlank(fixture.studyDate, fixture.studyDatePresence);
  if (patchName) written.patientName = Placeholder('\x01', fixture.patientName);
  if (patchDate) written.studyDate = Placeholder('\x02', fixture.studyDate);

  DcmFileFormat file;
  BuildDataset(written, file.getDataset());
  // Encapsulated pixel data is always of undefined length; everything else
  // is written with explicit lengths, unlike what the program writes.
  E_EncodingType encoding = DcmXfer(fixture.xfer).isEncapsulated()
                                ? EET_UndefinedLength
                                : EET_ExplicitLength;
  OFCondition status = file.saveFile(
      path.c_str(), fixture.xfer, encoding, EGL_recalcGL, EPD_noChange, 0, 0,
      fixture.metaHeader ? EWM_fileformat : EWM_dataset);
  if (status.bad()) {
    *error = status.text();
    return false;
  }
  return (!patchName ||
          Patch(path, written.patientName, fixture.patientName, error)) &&
         (!patchDate ||
          Patch(path, written.studyDate, fixture.studyDate, error));
}
