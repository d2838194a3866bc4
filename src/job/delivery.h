// Sends a finished GLF, unchanged, as one raw document to a printer queue.
#pragma once

#include <string>

#include "platform/spooler.h"

namespace tovrin {

// Open printer, start the document "Test", write the file's bytes in large
// blocks, end the document, close. False with `error` naming what failed;
// the GLF is left as it is either way.
bool DeliverGlf(Spooler& spooler, const std::string& printer, const std::string& glf_path,
                std::string& error);

}  // namespace tovrin
