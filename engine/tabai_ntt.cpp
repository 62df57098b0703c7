// Number-theoretic-transform multiplication of TSeisu limb arrays (placeholder).
#include "tabai_impl.h"

namespace tabai_impl {

size_t NttMaxProduct() { return 0; }
void MulNtt(const Limb* a, size_t na, const Limb* b, size_t nb, Limb* out) {
    MulKaratsuba(a, na, b, nb, out);
}
void SqrNtt(const Limb* a, size_t n, Limb* out) { MulKaratsuba(a, n, a, n, out); }

}  // namespace tabai_impl
