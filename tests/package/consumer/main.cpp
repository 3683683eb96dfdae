// Land's H and a two-sided pair through the installed library, computed on
// two threads and one after the other; prints them and fails when the
// threads' results differ from the sequential ones.
#include <velmar/velmar.h>

#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>

namespace {

struct Results {
    double h;
    velmar::Interval pair;
};

Results compute(double s)
{
    return {velmar::land_h(15, s, 0.95), velmar::two_sided_limits({0.0, s, 10.0, {}}, 0.5, 0.95)};
}

bool same(const Results& a, const Results& b)
{
    return a.h == b.h && a.pair.lower.C == b.pair.lower.C && a.pair.upper.C == b.pair.upper.C;
}

} // namespace

// The one-call entry, the names of sides and outcomes and the search settings.
bool vocabulary()
{
    const std::optional<velmar::Side> side = velmar::parse_side("two-sided");
    velmar::Settings search;
    search.method = velmar::Method::search;
    search.num_it = 300;
    search.tolerance = 1e-10;
    const velmar::Limits exact = velmar::limits({0.0, 0.4272, 14.0, 15.0}, 0.5, 0.95, *side);
    const velmar::Limits searched = velmar::limits({0.0, 0.4272, 14.0, 15.0}, 0.5, 0.95, *side, search);
    std::printf("%s %s %s\n", std::string(velmar::to_string(*side)).c_str(),
                std::string(velmar::to_string(exact.upper->outcome)).c_str(),
                std::string(velmar::to_string(searched.lower->outcome)).c_str());
    return exact.lower && exact.upper && searched.lower &&
           std::fabs(exact.upper->C - searched.upper->C) < 1e-6 * std::fabs(exact.upper->C);
}

int main()
{
    const Results first = compute(0.4272), second = compute(1.5);
    Results threaded[2];
    std::thread t1([&] { threaded[0] = compute(0.4272); });
    std::thread t2([&] { threaded[1] = compute(1.5); });
    t1.join();
    t2.join();
    std::printf("H %.5f\n", first.h);
    std::printf("pair %.6f %.6f\n", first.pair.lower.C, first.pair.upper.C);
    if (!vocabulary()) {
        std::printf("the one-call entry differs from the searches\n");
        return 1;
    }
    if (!same(first, threaded[0]) || !same(second, threaded[1])) {
        std::printf("threads differ\n");
        return 1;
    }
    return 0;
}
