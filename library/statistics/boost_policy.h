#pragma once
// The one Boost.Math policy of the statistics: every function evaluated in
// double (no promotion to long double, whose width differs between machines,
// so that a result does not depend on where it was computed), and domain,
// pole and overflow errors returned as NaN or infinity for the caller to test.
// Evaluation errors (a series or a root search that did not converge) still
// throw boost::math::evaluation_error; the functions that can meet one catch
// it and report a failure.

#include <boost/math/policies/policy.hpp>

namespace velmar::statistics {

using boost_policy = boost::math::policies::policy<
    boost::math::policies::promote_float<false>,
    boost::math::policies::promote_double<false>,
    boost::math::policies::domain_error<boost::math::policies::ignore_error>,
    boost::math::policies::pole_error<boost::math::policies::ignore_error>,
    boost::math::policies::overflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::underflow_error<boost::math::policies::ignore_error>,
    boost::math::policies::denorm_error<boost::math::policies::ignore_error>>;

} // namespace velmar::statistics
