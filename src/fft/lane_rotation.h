// One step of the rotation recurrence of frame/rotation.h, lane by lane, for
// the kernel headers that frame/lanes_twice.h compiles: they include this
// inside their namespace, so that its AVX2 copy is compiled for AVX2 (a
// template defined outside the region could not take AVX2 lane types).
//   c' = c + (c q - s l), s' = s + (s q + c l), both from the old c.
// No include guard: included once per kernel namespace.
template <typename L>
inline void advance(L &c, L &s, L q, L l) {
    const L c0 = c;
    c = c0 + (c0 * q - s * l);
    s = s + (s * q + c0 * l);
}
