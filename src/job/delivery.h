// Sends a finished GLF, unchanged, as one raw document to a printer queue.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/spooler.h"

namespace tovrin {

// Told once the spooler's job exists, before its document goes, so the
// caller can put the job on record first; false stops the delivery and the
// job is cancelled.
using JobCreated = std::function<bool(const SpoolerJob&)>;

// Opens the printer, creates the job `job_name`, tells `created`, sends the
// file's bytes as the document "Test" in 64 KiB pieces (as large as the
// file was when opened) and ends it. Returns the job; nullopt with `error`
// naming what failed (empty when `created` said stop). The GLF is left as
// it is either way; one that is a symbolic link or no plain file is not
// sent.
std::optional<SpoolerJob> DeliverGlf(Spooler& spooler, const std::string& printer,
                                     const std::string& glf_path, const std::string& job_name,
                                     const JobCreated& created, std::string& error);

}  // namespace tovrin
