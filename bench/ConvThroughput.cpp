#include "ConvThroughput.h"

#include <chrono>
#include <cstring>

#include <oneapi/dnnl/dnnl.hpp>

namespace ConvThroughput {

double measure(Format format)
{
    using dnnl::memory;
    constexpr int channels = 64;
    constexpr int side = 256;
    constexpr int runs = 5;
    constexpr int perRun = 4;
    const memory::data_type type =
        format == Format::BFloat16 ? memory::data_type::bf16 : memory::data_type::f32;
    if (format == Format::BFloat16) {
        const dnnl::cpu_isa isa = dnnl::get_effective_cpu_isa();
        if (isa != dnnl::cpu_isa::avx512_core_bf16 && isa != dnnl::cpu_isa::avx512_core_amx)
            return 0;
    }
    try {
        const dnnl::engine engine(dnnl::engine::kind::cpu, 0);
        dnnl::stream stream(engine);
        const memory::desc data({1, channels, side, side}, type, memory::format_tag::nhwc);
        const memory::desc weights({channels, channels, 3, 3}, type, memory::format_tag::any);
        const memory::desc bias({channels}, memory::data_type::f32, memory::format_tag::x);
        const dnnl::convolution_forward::primitive_desc pd(
            dnnl::convolution_forward::desc(dnnl::prop_kind::forward_inference,
                                            dnnl::algorithm::convolution_direct, data, weights,
                                            bias, data, {1, 1}, {1, 1}, {1, 1}),
            engine);
        memory src(pd.src_desc(), engine);
        memory dst(pd.dst_desc(), engine);
        memory weightMemory(pd.weights_desc(), engine);
        memory biasMemory(bias, engine);
        for (memory* m : {&src, &weightMemory, &biasMemory})
            std::memset(m->get_data_handle(), 0, m->get_desc().get_size());
        const dnnl::convolution_forward conv(pd);
        const std::unordered_map<int, memory> args{{DNNL_ARG_SRC, src},
                                                   {DNNL_ARG_WEIGHTS, weightMemory},
                                                   {DNNL_ARG_BIAS, biasMemory},
                                                   {DNNL_ARG_DST, dst}};
        conv.execute(stream, args);
        stream.wait();
        double best = 0;
        for (int r = 0; r < runs; ++r) {
            const auto start = std::chrono::steady_clock::now();
            for (int i = 0; i < perRun; ++i)
                conv.execute(stream, args);
            stream.wait();
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            const double rate = double(side) * side * channels * channels * 9 * perRun / seconds;
            best = std::max(best, rate / 1e9);
        }
        return best;
    } catch (const dnnl::error&) {
        return 0;
    }
}

} // namespace ConvThroughput
