// The whole public face of the fuzzyart library, one header per line.
#pragma once

#include "fuzzyart/data.h"
#include "fuzzyart/error.h"
#include "fuzzyart/limits.h"
#include "fuzzyart/model_file.h"
#include "fuzzyart/network.h"
#include "fuzzyart/observer.h"
#include "fuzzyart/presentation_order.h"
#include "fuzzyart/result_files.h"
#include "fuzzyart/rows.h"
#include "fuzzyart/supervised_model_file.h"
#include "fuzzyart/supervised_network.h"
#include "fuzzyart/tally.h"
