#include "pipeline/folder_work.h"

#include <algorithm>
#include <thread>

#include "dcmtk/config/osconfig.h"
#include "dcmtk/dcmdata/dcdict.h"
#include "dicom/toolkit_messages.h"
#include "pipeline/pipeline.h"

void FolderWork::Add(const LogLine& line) {
  if (line.error) ++result_.errorLines;
  log_->Add(line);
}

void FolderWork::AddV(bool error, const char* format, va_list args) {
  LogLine line{error, CString()};
  line.message.FormatV(format, args);
  Add(line);
}

void FolderWork::Progress(const char* format, ...) {
  va_list args;
  va_start(args, format);
  AddV(false, format, args);
  va_end(args);
}

void FolderWork::Error(const char* format, ...) {
  va_list args;
  va_start(args, format);
  AddV(true, format, args);
  va_end(args);
}

int FolderWork::Workers(size_t files) const {
  int workers = options_.jobs;
  if (workers <= 0) {
    workers =
        static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  }
  return static_cast<int>(
      std::min<size_t>(workers, std::max<size_t>(files, 1)));
}

void FolderWork::Stop() {
  stopped_ = true;
  std::lock_guard<std::mutex> lock(wakeMutex_);
  if (wake_) wake_();
}

void FolderWork::StartCount(size_t total) {
  through_ = 0;
  total_ = total;
  log_->Count(0, total_);
}

void FolderWork::RunPipeline(
    Pipeline* pipeline, const std::function<bool(size_t, FileJob*)>& start,
    const std::function<void(size_t, FileJob*)>& prepare,
    const std::function<size_t(FileJob* const*, size_t)>& commit,
    const std::function<void(FileJob*)>& done) {
  {
    std::lock_guard<std::mutex> lock(wakeMutex_);
    wake_ = [pipeline] { pipeline->Wake(); };
  }
  // DCMTK's dictionary is loaded once, here, and only read by the workers.
  dcmDataDict.isDictionaryLoaded();
  pipeline->Run(
      [&](size_t i, FileJob* job) {
        ToolkitMessages messages;
        if (start(i, job)) prepare(i, job);
        for (const ToolkitMessages::Message& message : messages.Take()) {
          CString line;
          line.Format(
              "%s in file: %s (%s)", message.error ? "Error" : "Warning",
              static_cast<LPCTSTR>(job->fullPath), message.text.c_str());
          job->toolkitLines.push_back(line);
        }
      },
      commit,
      [&](size_t i, FileJob* job, const std::string& error) {
        if (start(i, job)) {
          job->AddError("Couldn't load file: %s (%s)",
                        static_cast<LPCTSTR>(job->fullPath), error.c_str());
        }
      },
      [&](FileJob* job) {
        for (const LogLine& line : job->lines) Add(line);
        for (const CString& line : job->toolkitLines) log_->Toolkit(line);
        if (job->failed) ++result_.failed;
        done(job);
        log_->Count(++through_, total_);
      });
  std::lock_guard<std::mutex> lock(wakeMutex_);
  wake_ = nullptr;
  result_.notTakenUp += static_cast<int>(pipeline->NotTakenUp());
}
