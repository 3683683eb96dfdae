#pragma once
// The methods' names, as every output spells them, and the order in which a
// summary's panel and its table columns list them.

#include <array>
#include <string>

namespace velmar::methods {

inline const std::string exact_umau = "exact UMAU";
inline const std::string km_t = "KM-t";
inline const std::string km_chebyshev = "KM-Chebyshev";
inline const std::string ros_exact = "ROS + exact UMAU";
inline const std::string student_t = "Student-t";
inline const std::string chebyshev = "Chebyshev";
inline const std::string cox = "Cox";
inline const std::string bootstrap_t = "bootstrap-t";

inline const std::array<std::string, 8> summary_order{exact_umau, km_t,      km_chebyshev, ros_exact,
                                                      student_t,  chebyshev, cox,          bootstrap_t};

} // namespace velmar::methods
