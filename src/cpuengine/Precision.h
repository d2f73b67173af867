#pragma once

#include <optional>
#include <string>

// The number format the convolutions compute in, and how it is chosen when the command line
// does not force one.
namespace cpuengine {

enum class Precision { Float32, BFloat16 };

const char* precisionName(Precision precision);

// Whether oneDNN may use bfloat16 instructions on this processor (avx512_bf16 or AMX), as
// oneDNN itself sees it: ONEDNN_MAX_CPU_ISA (or DNNL_MAX_CPU_ISA) limits this, which is how a
// processor without them is tried out.
bool processorHasBFloat16();

// The forced precision, else bfloat16 where the processor has it and 32-bit floats elsewhere.
Precision choosePrecision(std::optional<Precision> forced, bool hasBFloat16);

// How the summary line names the choice: "bf16 (automatic: the processor has bf16)".
std::string precisionSummary(std::optional<Precision> forced, bool hasBFloat16);

} // namespace cpuengine
