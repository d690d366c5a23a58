// What every end-to-end scenario uses: the test host, the small book's
// parts and the scratch-file helpers, under their short names.
#pragma once

#include "ApiHost.h"
#include "TestFiles.h"

using api::Archive;
using api::kHead;
using api::kSep;
using api::kTail;
using testfiles::RandomBytes;
using testfiles::ScratchDir;
using testfiles::Slurp;
using testfiles::Spit;
