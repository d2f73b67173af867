#include "cpuengine/Precision.h"

#include <oneapi/dnnl/dnnl.hpp>

namespace cpuengine {

const char* precisionName(Precision precision)
{
    return precision == Precision::BFloat16 ? "bf16" : "fp32";
}

bool processorHasBFloat16()
{
    const dnnl::cpu_isa isa = dnnl::get_effective_cpu_isa();
    return isa == dnnl::cpu_isa::avx512_core_bf16 || isa == dnnl::cpu_isa::avx512_core_amx;
}

Precision choosePrecision(std::optional<Precision> forced, bool hasBFloat16)
{
    if (forced)
        return *forced;
    return hasBFloat16 ? Precision::BFloat16 : Precision::Float32;
}

std::string precisionSummary(std::optional<Precision> forced, bool hasBFloat16)
{
    const std::string name = precisionName(choosePrecision(forced, hasBFloat16));
    if (forced)
        return name + " (forced by --precision)";
    return name + (hasBFloat16 ? " (automatic: the processor has bf16)"
                               : " (automatic: the processor has no bf16)");
}

} // namespace cpuengine
