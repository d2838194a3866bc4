// Sends a finished GLF, unchanged, as one raw document to a printer queue.
#pragma once

#include <optional>
#include <string>

#include "platform/spooler.h"

namespace tovrin {

// Open printer, start the job `job_name` with the document "Test", write the
// file's bytes in large blocks, end the document, close. Returns the
// spooler's job id (0 when it has none); nullopt with `error` naming what
// failed. The GLF is left as it is either way.
std::optional<int> DeliverGlf(Spooler& spooler, const std::string& printer,
                              const std::string& glf_path, const std::string& job_name,
                              std::string& error);

}  // namespace tovrin
