// The whole public face of the fuzzyart library.
#pragma once

#include "fuzzyart/data.h"
#include "fuzzyart/error.h"
#include "fuzzyart/limits.h"
#include "fuzzyart/network.h"
#include "fuzzyart/observer.h"
#include "base/output_file.h"
#include "data/record_file.h"
#include "results/result_streams.h"
#include "data/text_file.h"
