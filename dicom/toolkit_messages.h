// What DCMTK logs of its own (a length that is not even, a tag it does not
// know), taken from its logger so that each message is tied to the file it
// is about, rather than printed bare in the middle of a run's output.
#ifndef VEILMARK_DICOM_TOOLKIT_MESSAGES_H_
#define VEILMARK_DICOM_TOOLKIT_MESSAGES_H_

#include <string>
#include <vector>

// Collects DCMTK's warnings and errors logged on the calling thread for as
// long as it lives. Messages logged on a thread without one, and messages
// of lesser levels, go to standard error as DCMTK prints them.
class ToolkitMessages {
 public:
  ToolkitMessages();
  ToolkitMessages(const ToolkitMessages&) = delete;
  ToolkitMessages& operator=(const ToolkitMessages&) = delete;
  ~ToolkitMessages();

  struct Message {
    bool error;  // an error, or a warning
    std::string text;
  };
  // The messages so far; the next call gives those that came after.
  std::vector<Message> Take();

 private:
  std::vector<Message> messages_;
  std::vector<Message>* outer_;  // the collector this one stands in for
};

#endif  // VEILMARK_DICOM_TOOLKIT_MESSAGES_H_
