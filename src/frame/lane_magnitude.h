// A bin's magnitude, lane by lane, for the kernel headers that
// frame/lanes_twice.h compiles (included inside their namespace, as
// fft/lane_rotation.h is): from its two parts as stored (values of T), the
// power formed in double and rounded to T, then its root rounded to T.
// No include guard: included once per kernel namespace.
template <typename L, typename T>
inline L magnitude(L re, L im, T) {
    return L::root_rounded(re * re + im * im, T());
}
