// Correctly rounded natural logarithm.
//
// x = 2^e m with m in [1, 1.5) or [0.75, 1) (the top eight bits of the
// significand choose the half and the table entry i), and
//   log x = e ln2 - log c_i + log(1 + r),  r = m c_i - 1,
// where c_i approximates 1/m on the entry's interval with 9 significant bits
// (c = 1 for the two entries next to m = 1, so that no table value cancels
// against log(1 + r) for x near 1). Over each interval |r| < 2^-8, checked
// when the table was made.
//
// r is exact: m c_i has its lowest bit at 2^-61 or above (m's ulp is 2^-52
// or 2^-53, c_i's 2^-9 or 2^-8, whichever pairs occur) and |r| < 2^-8, so r
// fits in 53 bits; it is formed as (mh c - 1) + ml c with mh the top 44 bits
// of m (mh c exact in 53 bits, mh c - 1 exact by Sterbenz's lemma, ml c exact,
// and the final sum is r itself, representable, hence exact).
//
// log(1 + r) = r - r^2/2 + r^3 P(r), P(r) = 1/3 - r/4 + ... - r^7/10 (Taylor;
// the first omitted term is below 2^-88 |r|). With r = r1 + r2 (r1 its top
// 26 bits), r^2/2 = r1^2/2 (exact) + r2 (r + r1)/2 (|.| < 2^-25 r^2, rounded
// once). The double evaluation of r^3 P(r) (Estrin's scheme) has a relative
// error below 6.4 * 2^-53: two roundings in r^3, 1.4 in the leading pair
// 1/3 - r/4 (1/3 itself rounded), one in each of the two sums that matter
// (the rest of P is below 2^-9.9 of it) and one in the final product. With
// |P| <= 0.335 and the rounding of the low-order sum that absorbs it, its
// error is below 2.5 * 2^-53 |r|^3. The table values -log c_i (double-double,
// < 2^-106 |log c|) and e ln2 (ln2 = L1 + L2, L1 of 42 bits so that e L1 is
// exact for |e| < 2^11; L1 + L2 within 2^-98 of ln2; e L2, up to
// 2^-43.6 |e ln2|, rounded; |e ln2| <= 2.5 |log x| when e != 0) and the
// roundings of the low-order sum, whose partial sums stay below
// 2^-43.5 |e ln2| + 2^-17 |r|, add less than 2^-92 |log x|. The rounding
// test uses 3 * 2^-53 |r^3| + 2^-90 |hi|: relative to log x that is
// 3 * 2^-53 r^2 < 2^-67.4 near x = 1 (where e = 0, c = 1 and log x ~ r), and
// at most 2^-67.8 elsewhere (|log x| >= 2^-9, |r| < 2^-8.45), mostly far less.
//
// Accurate path: log x = e ln2 + 2 atanh(s), s = (m - 1)/(m + 1), |s| <= 1/5,
// in 256-bit fixed point: s by long division, the odd powers s^(2n+1) by
// repeated multiplication with s^2, each divided by 2n + 1, until they vanish
// (at most 56 terms). Each product or quotient truncates by at most N + 3
// units of 2^-256; the terms' errors are damped by s^2 <= 1/25, so the series
// is within 2^10 units and 2 atanh(s) within 2^11; e ln2 adds |e| <= 1075
// units: within 2^13 units (2^-243) in all. |log x| >= 2^-53 for every double
// x != 1, so that is below 2^-190 relative. Should the rounding test still
// fail, the evaluation repeats on 512 bits.
#include "math/crmath.h"

#include "frame/cpu.h"
#include "math/internal.h"

namespace kwsig {
namespace math {
namespace {

// Entry i: c_i = 1/(midpoint of the interval) rounded to 9 significant bits
// (1 for i = 0 and i = 255), and -log(c_i) as the nearest double plus the
// nearest double to the remainder (MPFR at 400 bits). Entries 0 .. 127 cover
// m in [1 + i/256, 1 + (i + 1)/256), entries 128 .. 255 m/2 in
// [(1 + i/256)/2, (1 + (i + 1)/256)/2).
struct LogEntry {
    double c, neg_log_hi, neg_log_lo;
};
const LogEntry kTable[256] = {
    {0x1p+0, 0x0p+0, 0x0p+0},
    {0x1.fdp-1, 0x1.8121214586b54p-8, 0x1.c14b9f9377a1dp-65},
    {0x1.fbp-1, 0x1.41929f96832fp-7, -0x1.c5517f64bc223p-61},
    {0x1.f9p-1, 0x1.c317384c75f06p-7, 0x1.806208c04c22p-61},
    {0x1.f7p-1, 0x1.228fb1fea2e28p-6, -0x1.cd7b66e01c26dp-61},
    {0x1.f5p-1, 0x1.63d6178690bd6p-6, -0x1.8ed4d357c9c97p-64},
    {0x1.f3p-1, 0x1.a55f548c5c43fp-6, 0x1.ec1a5f86d41f9p-62},
    {0x1.f1p-1, 0x1.e72bf2813ce51p-6, 0x1.75b44595cab18p-60},
    {0x1.fp-1, 0x1.0415d89e74444p-5, 0x1.c05cf1d753622p-59},
    {0x1.eep-1, 0x1.252f32f8d183fp-5, -0x1.947f792615916p-59},
    {0x1.ecp-1, 0x1.466aed42de3eap-5, -0x1.cdd6f7f4a137ep-59},
    {0x1.eap-1, 0x1.67c94f2d4bb58p-5, 0x1.0413e6505e603p-59},
    {0x1.e8p-1, 0x1.894aa149fb343p-5, 0x1.a8be97660a23dp-60},
    {0x1.e6p-1, 0x1.aaef2d0fb10fcp-5, 0x1.a353bb42e0addp-61},
    {0x1.e5p-1, 0x1.bbcebfc68f42p-5, 0x1.e5cf3a0f56f72p-60},
    {0x1.e3p-1, 0x1.dda8adc67ee4ep-5, 0x1.4e6c986f44c55p-59},
    {0x1.e1p-1, 0x1.ffa6911ab9301p-5, -0x1.cd9f1f95c2eedp-59},
    {0x1.dfp-1, 0x1.10e45b3cae831p-4, -0x1.a4a128d192686p-58},
    {0x1.ddp-1, 0x1.2207b5c78549ep-4, -0x1.cc0fbce104eaap-58},
    {0x1.dcp-1, 0x1.2aa04a44717a5p-4, -0x1.d15d38d2fa3f7p-58},
    {0x1.dap-1, 0x1.3bdf5a7d1ee64p-4, 0x1.7a976d3b5b45fp-59},
    {0x1.d8p-1, 0x1.4d3115d207eacp-4, 0x1.769f42c7842ccp-58},
    {0x1.d7p-1, 0x1.55e10050e0384p-4, -0x1.45f9d61c68c1bp-58},
    {0x1.d5p-1, 0x1.674f089365a7ap-4, -0x1.9acd8b33f8fdcp-58},
    {0x1.d3p-1, 0x1.78d02263d82d3p-4, 0x1.abca5b4fdb88p-58},
    {0x1.d2p-1, 0x1.8197e2f40e3fp-4, 0x1.b9f2dffbeed43p-60},
    {0x1.dp-1, 0x1.9335e5d594989p-4, -0x1.478a85704ccb7p-58},
    {0x1.cep-1, 0x1.a4e7640b1bc38p-4, -0x1.5b5ca203e4259p-58},
    {0x1.cdp-1, 0x1.adc77ee5aea8cp-4, 0x1.37d8f39bee659p-58},
    {0x1.cbp-1, 0x1.bf968769fca11p-4, -0x1.cdc9f6f5f38c7p-59},
    {0x1.c9p-1, 0x1.d179788219364p-4, 0x1.9daf7df76ad2ap-59},
    {0x1.c8p-1, 0x1.da727638446a2p-4, 0x1.401fa71733019p-58},
    {0x1.c6p-1, 0x1.ec739830a112p-4, -0x1.a2bf991780d3fp-59},
    {0x1.c5p-1, 0x1.f57bc7d9005dbp-4, -0x1.9361574fb24e2p-58},
    {0x1.c3p-1, 0x1.03cdc0a51ec0dp-3, 0x1.39e2d3f8b7d1p-57},
    {0x1.c2p-1, 0x1.08598b59e3a07p-3, -0x1.dd7009902bf32p-57},
    {0x1.cp-1, 0x1.1178e8227e47cp-3, -0x1.0e63a5f01c691p-58},
    {0x1.bfp-1, 0x1.160c8024b27b1p-3, -0x1.2d56ff61c2bfbp-57},
    {0x1.bdp-1, 0x1.1f3b925f25d41p-3, 0x1.62c9ef939ac5dp-59},
    {0x1.bcp-1, 0x1.23d712a49c202p-3, -0x1.6e38161051d69p-57},
    {0x1.bap-1, 0x1.2d1610c86813ap-3, -0x1.499a3f25af95fp-58},
    {0x1.b9p-1, 0x1.31b994d3a4f85p-3, -0x1.c4716bdfc0cc9p-58},
    {0x1.b7p-1, 0x1.3b08b6757f2a9p-3, 0x1.70d6cdf05266cp-60},
    {0x1.b6p-1, 0x1.3fb45a59928ccp-3, -0x1.d87e6a354d056p-57},
    {0x1.b4p-1, 0x1.4913d8333b561p-3, -0x1.0d5604930f135p-58},
    {0x1.b3p-1, 0x1.4dc7b897bc1c8p-3, -0x1.927d47803c5f4p-57},
    {0x1.b1p-1, 0x1.5737cc9018cddp-3, 0x1.4f4d710fec38ep-57},
    {0x1.bp-1, 0x1.5bf406b543db2p-3, -0x1.1f5b44c0df7e7p-61},
    {0x1.aep-1, 0x1.6574ebe8c133ap-3, -0x1.d34f0f4621bedp-60},
    {0x1.adp-1, 0x1.6a399dabbd383p-3, 0x1.96332bd4b341fp-57},
    {0x1.acp-1, 0x1.6f0128b756abcp-3, -0x1.8de59c21e166cp-57},
    {0x1.aap-1, 0x1.7898d85444c73p-3, 0x1.ef8f6ebcfb201p-58},
    {0x1.a9p-1, 0x1.7d6903caf5adp-3, -0x1.ac5f0c075b847p-59},
    {0x1.a7p-1, 0x1.871213750e994p-3, 0x1.d685f35eea2ap-57},
    {0x1.a6p-1, 0x1.8beafeb38fe8cp-3, 0x1.55aa8b6997a4p-58},
    {0x1.a5p-1, 0x1.90c6db9fcbcd9p-3, 0x1.054473941ad99p-57},
    {0x1.a3p-1, 0x1.9a8778debaa38p-3, 0x1.f47dfd871f87fp-57},
    {0x1.a2p-1, 0x1.9f6c407089664p-3, 0x1.35a19605e67efp-59},
    {0x1.a1p-1, 0x1.a454082e6ab05p-3, 0x1.df207dc5c34c6p-58},
    {0x1.9fp-1, 0x1.ae2ca6f672bd4p-3, 0x1.ab5ca9eaa088ap-57},
    {0x1.9ep-1, 0x1.b31d8575bce3dp-3, -0x1.6353ab386a94dp-57},
    {0x1.9dp-1, 0x1.b811730b823d2p-3, 0x1.a0ee735d9f0ecp-60},
    {0x1.9cp-1, 0x1.bd087383bd8adp-3, 0x1.dd355f6a516d7p-60},
    {0x1.9ap-1, 0x1.c6ffbc6f00f71p-3, -0x1.8e58b2c57a4a5p-57},
    {0x1.99p-1, 0x1.cc000c9db3c52p-3, 0x1.53d154280394fp-57},
    {0x1.98p-1, 0x1.d1037f2655e7bp-3, 0x1.60629242471a2p-57},
    {0x1.96p-1, 0x1.db13db0d4894p-3, 0x1.aa11d49f96cb9p-58},
    {0x1.95p-1, 0x1.e020cc6235ab5p-3, 0x1.fea48dd7b81d1p-58},
    {0x1.94p-1, 0x1.e530effe71012p-3, 0x1.2276041f43042p-59},
    {0x1.93p-1, 0x1.ea4449f04aaf5p-3, -0x1.d33919ab94074p-57},
    {0x1.91p-1, 0x1.f474b134df229p-3, -0x1.27c77ded76aadp-58},
    {0x1.9p-1, 0x1.f991c6cb3b379p-3, 0x1.f665066f980a2p-57},
    {0x1.8fp-1, 0x1.feb2233ea07cdp-3, 0x1.8de00938b4c4p-61},
    {0x1.8ep-1, 0x1.01eae5626c691p-2, -0x1.18290bd2932e2p-59},
    {0x1.8dp-1, 0x1.047e60cde83b8p-2, -0x1.0779634061cbcp-56},
    {0x1.8bp-1, 0x1.09aa572e6c6d4p-2, 0x1.43c2e68684d53p-57},
    {0x1.8ap-1, 0x1.0c42d676162e3p-2, 0x1.162c79d5d11eep-58},
    {0x1.89p-1, 0x1.0edd060b78081p-2, -0x1.92b49ef282b09p-57},
    {0x1.88p-1, 0x1.1178e8227e47cp-2, -0x1.0e63a5f01c691p-57},
    {0x1.87p-1, 0x1.14167ef367783p-2, 0x1.e0936abd4fa6ep-62},
    {0x1.86p-1, 0x1.16b5ccbacfb73p-2, 0x1.66fbd28b40935p-56},
    {0x1.84p-1, 0x1.1bf99635a6b95p-2, -0x1.12aeb84249223p-57},
    {0x1.83p-1, 0x1.1e9e1678899f4p-2, 0x1.512c3749a1e4ep-56},
    {0x1.82p-1, 0x1.214456d0eb8d4p-2, 0x1.f7ae91aeba60ap-57},
    {0x1.81p-1, 0x1.23ec5991eba49p-2, 0x1.bb75d1addf87p-60},
    {0x1.8p-1, 0x1.269621134db92p-2, 0x1.e0efadd9db02bp-56},
    {0x1.7fp-1, 0x1.2941afb186b7cp-2, -0x1.856e61c51574p-57},
    {0x1.7ep-1, 0x1.2bef07cdc9354p-2, -0x1.82dad7fd86088p-56},
    {0x1.7cp-1, 0x1.314f1e1d35ce4p-2, -0x1.3d69909e5c3dcp-56},
    {0x1.7bp-1, 0x1.3401e12aecba1p-2, -0x1.cd55b8a4746cp-58},
    {0x1.7ap-1, 0x1.36b6776be1117p-2, -0x1.324f0e883858ep-58},
    {0x1.79p-1, 0x1.396ce359bbf54p-2, -0x1.ce2b31b31e8bp-58},
    {0x1.78p-1, 0x1.3c25277333184p-2, -0x1.2ad27e50a8ec6p-56},
    {0x1.77p-1, 0x1.3edf463c1683ep-2, 0x1.83d680d3c1084p-56},
    {0x1.76p-1, 0x1.419b423d5e8c7p-2, 0x1.0dbb243827392p-57},
    {0x1.75p-1, 0x1.44591e0539f49p-2, -0x1.2b125247b0fa5p-56},
    {0x1.74p-1, 0x1.4718dc271c41bp-2, 0x1.8fb4c14c56eefp-60},
    {0x1.73p-1, 0x1.49da7f3bcc41fp-2, -0x1.9964a168ccacap-57},
    {0x1.72p-1, 0x1.4c9e09e172c3cp-2, -0x1.123615b147a5dp-58},
    {0x1.71p-1, 0x1.4f637ebba981p-2, -0x1.58cb3124b9245p-56},
    {0x1.7p-1, 0x1.522ae0738a3d8p-2, -0x1.8f7e9b38a6979p-57},
    {0x1.6fp-1, 0x1.54f431b7be1a9p-2, -0x1.aacfdbbdab914p-56},
    {0x1.6ep-1, 0x1.57bf753c8d1fbp-2, -0x1.0908d15f88b63p-57},
    {0x1.6dp-1, 0x1.5a8cadbbedfa1p-2, -0x1.e6c2bdfb3e037p-58},
    {0x1.6cp-1, 0x1.5d5bddf595f3p-2, -0x1.6541148cbb8a2p-56},
    {0x1.6bp-1, 0x1.602d08af091ecp-2, -0x1.6e8920c09b73fp-58},
    {0x1.6ap-1, 0x1.630030b3aac49p-2, 0x1.dc18ce51fff99p-57},
    {0x1.69p-1, 0x1.65d558d4ce00bp-2, -0x1.7605a4748480ap-56},
    {0x1.68p-1, 0x1.68ac83e9c6a14p-2, 0x1.a64eadd740178p-58},
    {0x1.67p-1, 0x1.6b85b4cffa3fdp-2, -0x1.8af2c8dafcb08p-57},
    {0x1.66p-1, 0x1.6e60ee6af1972p-2, 0x1.657c222d868cdp-58},
    {0x1.65p-1, 0x1.713e33a46a17cp-2, -0x1.9367a05ae38d3p-56},
    {0x1.64p-1, 0x1.741d876c67bb1p-2, 0x1.84a4ee3059583p-56},
    {0x1.63p-1, 0x1.76feecb947175p-2, -0x1.118d9eb4ea362p-56},
    {0x1.62p-1, 0x1.79e26687cfb3ep-2, -0x1.c168817443f22p-56},
    {0x1.61p-1, 0x1.7cc7f7db46a0ep-2, -0x1.8438023cdc3d3p-56},
    {0x1.6p-1, 0x1.7fafa3bd8151cp-2, -0x1.219024acd3b77p-58},
    {0x1.5fp-1, 0x1.82996d3ef8bcbp-2, -0x1.2aa30536bb6bep-56},
    {0x1.5ep-1, 0x1.85855776dcbfbp-2, -0x1.486666443b153p-56},
    {0x1.5dp-1, 0x1.8873658327ccfp-2, -0x1.c43eff892d8dp-58},
    {0x1.5cp-1, 0x1.8b639a88b2df5p-2, -0x1.70f2f38238303p-56},
    {0x1.5bp-1, 0x1.8e55f9b349b83p-2, 0x1.e2763763baffcp-56},
    {0x1.5ap-1, 0x1.914a8635bf68ap-2, -0x1.ad4bb98c1f2c5p-56},
    {0x1.59p-1, 0x1.9441434a03259p-2, 0x1.c0e4afffa1b77p-56},
    {0x1.58p-1, 0x1.973a3431356aep-2, -0x1.89d2816cf838fp-57},
    {0x1.58p-1, 0x1.973a3431356aep-2, -0x1.89d2816cf838fp-57},
    {0x1.57p-1, 0x1.9a355c33bd6bap-2, -0x1.959578e82a9d9p-57},
    {0x1.56p-1, 0x1.9d32bea15ed3bp-2, 0x1.87bcbcfd3e187p-59},
    {0x1.55p+0, -0x1.2596010df763ap-2, 0x1.0f76c57075e9ep-58},
    {0x1.54p+0, -0x1.22941fbcf7966p-2, 0x1.76f5eb09628afp-56},
    {0x1.53p+0, -0x1.1f8ff9e48a2f3p-2, 0x1.c9fdf9a0c4b07p-56},
    {0x1.52p+0, -0x1.1c898c16999fbp-2, 0x1.0e5c62aff1c44p-60},
    {0x1.51p+0, -0x1.1980d2dd4236fp-2, -0x1.9d3d1b0e4d147p-56},
    {0x1.51p+0, -0x1.1980d2dd4236fp-2, -0x1.9d3d1b0e4d147p-56},
    {0x1.5p+0, -0x1.1675cababa60ep-2, -0x1.ce63eab883717p-61},
    {0x1.4fp+0, -0x1.136870293a8bp-2, -0x1.7b66298edd24ap-56},
    {0x1.4ep+0, -0x1.1058bf9ae4ad5p-2, -0x1.89fa0ab4cb31dp-58},
    {0x1.4dp+0, -0x1.0d46b579ab74bp-2, -0x1.03ec81c3cbd92p-57},
    {0x1.4cp+0, -0x1.0a324e27390e3p-2, -0x1.7dcfde8061c03p-56},
    {0x1.4bp+0, -0x1.071b85fcd590dp-2, -0x1.d1707f97bde8p-58},
    {0x1.4bp+0, -0x1.071b85fcd590dp-2, -0x1.d1707f97bde8p-58},
    {0x1.4ap+0, -0x1.0402594b4d041p-2, 0x1.28ec217a5022dp-57},
    {0x1.49p+0, -0x1.00e6c45ad501dp-2, 0x1.cb9568ff6feadp-57},
    {0x1.48p+0, -0x1.fb9186d5e3e2bp-3, 0x1.caaae64f21acbp-57},
    {0x1.47p+0, -0x1.f550a564b7b37p-3, -0x1.c5f6dfd018c37p-61},
    {0x1.46p+0, -0x1.ef0adcbdc5936p-3, -0x1.48637950dc20dp-57},
    {0x1.46p+0, -0x1.ef0adcbdc5936p-3, -0x1.48637950dc20dp-57},
    {0x1.45p+0, -0x1.e8c0252aa5a6p-3, 0x1.6e03a39bfc89bp-59},
    {0x1.44p+0, -0x1.e27076e2af2e6p-3, 0x1.61578001e0162p-59},
    {0x1.43p+0, -0x1.dc1bca0abec7dp-3, -0x1.834c51998b6fcp-57},
    {0x1.42p+0, -0x1.d5c216b4fbb91p-3, -0x1.6e443597e4d4p-57},
    {0x1.42p+0, -0x1.d5c216b4fbb91p-3, -0x1.6e443597e4d4p-57},
    {0x1.41p+0, -0x1.cf6354e09c5dcp-3, -0x1.239a07d55b695p-57},
    {0x1.4p+0, -0x1.c8ff7c79a9a22p-3, 0x1.4f689f8434012p-57},
    {0x1.3fp+0, -0x1.c2968558c18c1p-3, 0x1.73dee38a3fb6bp-57},
    {0x1.3fp+0, -0x1.c2968558c18c1p-3, 0x1.73dee38a3fb6bp-57},
    {0x1.3ep+0, -0x1.bc286742d8cd6p-3, -0x1.4fce744870f55p-58},
    {0x1.3dp+0, -0x1.b5b519e8fb5a4p-3, -0x1.ba27fdc19e1ap-57},
    {0x1.3cp+0, -0x1.af3c94e80bff3p-3, 0x1.398cff3641985p-58},
    {0x1.3bp+0, -0x1.a8becfc882f19p-3, 0x1.e8c37918c39ebp-58},
    {0x1.3bp+0, -0x1.a8becfc882f19p-3, 0x1.e8c37918c39ebp-58},
    {0x1.3ap+0, -0x1.a23bc1fe2b563p-3, -0x1.93711b07a998cp-59},
    {0x1.39p+0, -0x1.9bb362e7dfb83p-3, -0x1.575e31f003e0cp-57},
    {0x1.38p+0, -0x1.9525a9cf456b4p-3, -0x1.d904c1d4e2e26p-57},
    {0x1.38p+0, -0x1.9525a9cf456b4p-3, -0x1.d904c1d4e2e26p-57},
    {0x1.37p+0, -0x1.8e928de886d41p-3, 0x1.569d851a5677p-57},
    {0x1.36p+0, -0x1.87fa06520c911p-3, 0x1.bf7fdbfa08d9ap-57},
    {0x1.35p+0, -0x1.815c0a14357ebp-3, 0x1.4be48073a0564p-58},
    {0x1.35p+0, -0x1.815c0a14357ebp-3, 0x1.4be48073a0564p-58},
    {0x1.34p+0, -0x1.7ab890210d909p-3, -0x1.be36b2d6a0608p-59},
    {0x1.33p+0, -0x1.740f8f54037a5p-3, 0x1.b264062a84cdbp-58},
    {0x1.33p+0, -0x1.740f8f54037a5p-3, 0x1.b264062a84cdbp-58},
    {0x1.32p+0, -0x1.6d60fe719d21dp-3, 0x1.caae268ecd179p-57},
    {0x1.31p+0, -0x1.66acd4272ad51p-3, 0x1.0900e4e1ea8b2p-58},
    {0x1.3p+0, -0x1.5ff3070a793d4p-3, 0x1.bc60efafc6f6ep-58},
    {0x1.3p+0, -0x1.5ff3070a793d4p-3, 0x1.bc60efafc6f6ep-58},
    {0x1.2fp+0, -0x1.59338d9982086p-3, 0x1.65d22aa8ad7cfp-58},
    {0x1.2ep+0, -0x1.526e5e3a1b438p-3, 0x1.746ff8a470d3ap-57},
    {0x1.2ep+0, -0x1.526e5e3a1b438p-3, 0x1.746ff8a470d3ap-57},
    {0x1.2dp+0, -0x1.4ba36f39a55e5p-3, -0x1.68981bcc36756p-57},
    {0x1.2cp+0, -0x1.44d2b6ccb7d1ep-3, -0x1.9f4f6543e1f88p-57},
    {0x1.2cp+0, -0x1.44d2b6ccb7d1ep-3, -0x1.9f4f6543e1f88p-57},
    {0x1.2bp+0, -0x1.3dfc2b0ecc62ap-3, 0x1.ab3a8e7d81017p-58},
    {0x1.2ap+0, -0x1.371fc201e8f74p-3, -0x1.de6cb62af18ap-58},
    {0x1.2ap+0, -0x1.371fc201e8f74p-3, -0x1.de6cb62af18ap-58},
    {0x1.29p+0, -0x1.303d718e47fd3p-3, 0x1.6b9c7d96091fap-63},
    {0x1.28p+0, -0x1.29552f81ff523p-3, -0x1.301771c407dbfp-57},
    {0x1.28p+0, -0x1.29552f81ff523p-3, -0x1.301771c407dbfp-57},
    {0x1.27p+0, -0x1.2266f190a5acbp-3, -0x1.f547bf1809e88p-57},
    {0x1.26p+0, -0x1.1b72ad52f67ap-3, -0x1.483023472cd74p-58},
    {0x1.26p+0, -0x1.1b72ad52f67ap-3, -0x1.483023472cd74p-58},
    {0x1.25p+0, -0x1.14785846742acp-3, -0x1.a28813e3a7f07p-57},
    {0x1.24p+0, -0x1.0d77e7cd08e59p-3, -0x1.9a5dc5e9030acp-57},
    {0x1.24p+0, -0x1.0d77e7cd08e59p-3, -0x1.9a5dc5e9030acp-57},
    {0x1.23p+0, -0x1.0671512ca596ep-3, -0x1.50c647eb86499p-58},
    {0x1.22p+0, -0x1.fec9131dbeabbp-4, 0x1.5746b9981b36cp-58},
    {0x1.22p+0, -0x1.fec9131dbeabbp-4, 0x1.5746b9981b36cp-58},
    {0x1.21p+0, -0x1.f0a30c01162a6p-4, -0x1.85f325c5bbacdp-58},
    {0x1.2p+0, -0x1.e27076e2af2e6p-4, 0x1.61578001e0162p-60},
    {0x1.2p+0, -0x1.e27076e2af2e6p-4, 0x1.61578001e0162p-60},
    {0x1.1fp+0, -0x1.d4313d66cb35dp-4, -0x1.790dd951d90fap-58},
    {0x1.1ep+0, -0x1.c5e548f5bc743p-4, -0x1.5d617ef8161b1p-60},
    {0x1.1ep+0, -0x1.c5e548f5bc743p-4, -0x1.5d617ef8161b1p-60},
    {0x1.1dp+0, -0x1.b78c82bb0eda1p-4, -0x1.0878cf0327e21p-61},
    {0x1.1dp+0, -0x1.b78c82bb0eda1p-4, -0x1.0878cf0327e21p-61},
    {0x1.1cp+0, -0x1.a926d3a4ad563p-4, -0x1.942f48aa70ea9p-58},
    {0x1.1bp+0, -0x1.9ab42462033adp-4, 0x1.2099e1c184e8ep-59},
    {0x1.1bp+0, -0x1.9ab42462033adp-4, 0x1.2099e1c184e8ep-59},
    {0x1.1ap+0, -0x1.8c345d6319b21p-4, 0x1.4a697ab3424a9p-61},
    {0x1.1ap+0, -0x1.8c345d6319b21p-4, 0x1.4a697ab3424a9p-61},
    {0x1.19p+0, -0x1.7da766d7b12cdp-4, 0x1.eeedfcdd94131p-58},
    {0x1.18p+0, -0x1.6f0d28ae56b4cp-4, 0x1.906d99184b992p-58},
    {0x1.18p+0, -0x1.6f0d28ae56b4cp-4, 0x1.906d99184b992p-58},
    {0x1.17p+0, -0x1.60658a93750c4p-4, 0x1.388458ec21b6ap-58},
    {0x1.17p+0, -0x1.60658a93750c4p-4, 0x1.388458ec21b6ap-58},
    {0x1.16p+0, -0x1.51b073f06183fp-4, -0x1.a49e39a1a8be4p-58},
    {0x1.15p+0, -0x1.42edcbea646fp-4, -0x1.ddd4f935996c9p-59},
    {0x1.15p+0, -0x1.42edcbea646fp-4, -0x1.ddd4f935996c9p-59},
    {0x1.14p+0, -0x1.341d7961bd1d1p-4, 0x1.b599f227becbbp-58},
    {0x1.14p+0, -0x1.341d7961bd1d1p-4, 0x1.b599f227becbbp-58},
    {0x1.13p+0, -0x1.253f62f0a1417p-4, 0x1.c125963fc4cfdp-62},
    {0x1.12p+0, -0x1.16536eea37ae1p-4, 0x1.79da3e8c22cdap-60},
    {0x1.12p+0, -0x1.16536eea37ae1p-4, 0x1.79da3e8c22cdap-60},
    {0x1.11p+0, -0x1.075983598e471p-4, -0x1.80da5333c45b8p-59},
    {0x1.11p+0, -0x1.075983598e471p-4, -0x1.80da5333c45b8p-59},
    {0x1.1p+0, -0x1.f0a30c01162a6p-5, -0x1.85f325c5bbacdp-59},
    {0x1.1p+0, -0x1.f0a30c01162a6p-5, -0x1.85f325c5bbacdp-59},
    {0x1.0fp+0, -0x1.d276b8adb0b52p-5, -0x1.1e3c53257fd47p-61},
    {0x1.0fp+0, -0x1.d276b8adb0b52p-5, -0x1.1e3c53257fd47p-61},
    {0x1.0ep+0, -0x1.b42dd711971bfp-5, 0x1.eb9759c130499p-60},
    {0x1.0dp+0, -0x1.95c830ec8e3ebp-5, -0x1.f5a0e80520bf2p-59},
    {0x1.0dp+0, -0x1.95c830ec8e3ebp-5, -0x1.f5a0e80520bf2p-59},
    {0x1.0cp+0, -0x1.77458f632dcfcp-5, -0x1.18d3ca87b9296p-59},
    {0x1.0cp+0, -0x1.77458f632dcfcp-5, -0x1.18d3ca87b9296p-59},
    {0x1.0bp+0, -0x1.58a5bafc8e4d5p-5, 0x1.ce55c2b4e2b72p-59},
    {0x1.0bp+0, -0x1.58a5bafc8e4d5p-5, 0x1.ce55c2b4e2b72p-59},
    {0x1.0ap+0, -0x1.39e87b9febd6p-5, 0x1.5bfa937f551bbp-59},
    {0x1.0ap+0, -0x1.39e87b9febd6p-5, 0x1.5bfa937f551bbp-59},
    {0x1.09p+0, -0x1.1b0d98923d98p-5, 0x1.e9ae889bac481p-60},
    {0x1.09p+0, -0x1.1b0d98923d98p-5, 0x1.e9ae889bac481p-60},
    {0x1.08p+0, -0x1.f829b0e7833p-6, -0x1.33e3f04f1ef23p-60},
    {0x1.07p+0, -0x1.b9fc027af9198p-6, 0x1.0ae69229dc868p-64},
    {0x1.07p+0, -0x1.b9fc027af9198p-6, 0x1.0ae69229dc868p-64},
    {0x1.06p+0, -0x1.7b91b07d5b11bp-6, 0x1.5b602ace3a51p-60},
    {0x1.06p+0, -0x1.7b91b07d5b11bp-6, 0x1.5b602ace3a51p-60},
    {0x1.05p+0, -0x1.3cea44346a575p-6, 0x1.0cb5a902b3a1cp-62},
    {0x1.05p+0, -0x1.3cea44346a575p-6, 0x1.0cb5a902b3a1cp-62},
    {0x1.04p+0, -0x1.fc0a8b0fc03e4p-7, 0x1.83092c59642a1p-62},
    {0x1.04p+0, -0x1.fc0a8b0fc03e4p-7, 0x1.83092c59642a1p-62},
    {0x1.03p+0, -0x1.7dc475f810a77p-7, 0x1.16d7687d3df21p-62},
    {0x1.03p+0, -0x1.7dc475f810a77p-7, 0x1.16d7687d3df21p-62},
    {0x1.02p+0, -0x1.fe02a6b106789p-8, 0x1.e44b7e3711ebfp-67},
    {0x1.02p+0, -0x1.fe02a6b106789p-8, 0x1.e44b7e3711ebfp-67},
    {0x1.01p+0, -0x1.ff00aa2b10bcp-9, -0x1.2821ad5a6d353p-63},
    {0x1.01p+0, -0x1.ff00aa2b10bcp-9, -0x1.2821ad5a6d353p-63},
    {0x1p+0, 0x0p+0, 0x0p+0},
};

// ln2 = kLn2Hi + kLn2Lo + d, kLn2Hi with 42 significant bits, |d| < 2^-98 (MPFR).
constexpr double kLn2Hi = 0x1.62e42fefa38p-1;
constexpr double kLn2Lo = 0x1.ef35793c7673p-45;
// ln2 in fixed point: integer word and 16 fraction words, truncated (MPFR).
constexpr uint32_t kLn2[17] = {
    0x00000000u, 0xb17217f7u, 0xd1cf79abu, 0xc9e3b398u, 0x03f2f6afu, 0x40f34326u,
    0x7298b62du, 0x8a0d175bu, 0x8baafa2bu, 0xe7b87620u, 0x6debac98u, 0x559552fbu,
    0x4afa1b10u, 0xed2eae35u, 0xc1382144u, 0x27573b29u, 0x1169b825u,
};

// x = 2^e m with 2^52 <= m < 2^53 an integer, for finite x > 0.
void decompose(double x, uint64_t *m, int *e) {
    uint64_t u = bits_of(x);
    int adjust = 0;
    if ((u >> 52) == 0) {  // subnormal: scale up exactly
        u = bits_of(x * 0x1p52);
        adjust = -52;
    }
    *m = (u & 0xFFFFFFFFFFFFFull) | (1ull << 52);
    *e = int(u >> 52) - 1075 + adjust;
}

// x positive, finite and normal or subnormal.
inline __attribute__((always_inline)) DD fast_dd(double x, double *err) {
    uint64_t mi;
    int e;
    decompose(x, &mi, &e);
    e += 52;  // x = 2^e * m, m = mi 2^-52 in [1, 2)
    const int i = int((mi >> 44) & 0xFF);
    // Entries 128 .. 255 (m >= 1.5) take m/2 in [0.75, 1) and e + 1, without a branch.
    const int half = i >> 7;
    const uint64_t mb = ((mi & 0xFFFFFFFFFFFFFull) | (uint64_t(1023) << 52)) - (uint64_t(half) << 52);
    e += half;
    const double m = from_bits(mb);
    const double mh = from_bits(mb & ~uint64_t(0x1FF));
    const double ml = m - mh;
    const LogEntry &t = kTable[i];
    const double r = (mh * t.c - 1.0) + ml * t.c;

    const DD rs = split(r);
    const double a = -0.5 * (rs.hi * rs.hi);
    const double b = -0.5 * (rs.lo * (r + rs.hi));
    // r^3 P(r) by Estrin's scheme (short dependency chains).
    const double r2 = r * r;
    const double r3 = r2 * r;
    const double r4 = r2 * r2;
    const double p34 = 0x1.5555555555555p-2 + r * -0x1p-2;
    const double p56 = 0x1.999999999999ap-3 + r * -0x1.5555555555555p-3;
    const double p78 = 0x1.2492492492492p-3 + r * -0x1p-3;
    const double p910 = 0x1.c71c71c71c71cp-4 + r * -0x1.999999999999ap-4;
    const double poly = r3 * ((p34 + r2 * p56) + r4 * (p78 + r2 * p910));
    const double ed = double(e);
    // Each fast_two_sum has its larger operand first: |e L1| >= 0.69 > 0.41 >=
    // |log c| unless e = 0; |log c| >= 2^-7.4 > |r| unless c = 1; and the
    // running sum exceeds r^2/2.
    const DD s1 = fast_two_sum(ed * kLn2Hi, t.neg_log_hi);
    const DD s2 = fast_two_sum(s1.hi, r);
    const DD s3 = fast_two_sum(s2.hi, a);
    const double lo = poly + (((s1.lo + s2.lo) + s3.lo) + (b + (ed * kLn2Lo + t.neg_log_lo)));
    const DD v = fast_two_sum(s3.hi, lo);
    *err = 0x1.8p-52 * abs_of(r3) + 0x1p-90 * abs_of(v.hi);
    return v;
}

template <int N>
bool accurate(double x, double *out) {
    uint64_t mi;
    int e;
    decompose(x, &mi, &e);
    e += 52;
    // s = (m - 1)/(m + 1) with m = mi / 2^52, or m = mi / 2^53 (and e + 1)
    // when m >= 1.5, as in the fast path.
    uint64_t one = 1ull << 52;
    if (((mi >> 44) & 0xFF) >= 128) {
        one <<= 1;
        e += 1;
    }
    const bool s_negative = mi < one;
    uint64_t rem = s_negative ? one - mi : mi - one;
    const uint64_t den = mi + one;  // < 2^54
    Fixed<N> s = fixed_zero<N>();
    for (int w = 1; w <= N; ++w) {  // eight bits at a time: rem < den < 2^54
        uint32_t word = 0;
        for (int k = 0; k < 4; ++k) {
            rem <<= 8;
            word = (word << 8) | uint32_t(rem / den);
            rem %= den;
        }
        s.w[w] = word;
    }
    const Fixed<N> s2 = fixed_mul(s, s);
    Fixed<N> power = s, sum = s;
    for (uint32_t n = 3;; n += 2) {
        power = fixed_mul(power, s2);
        const Fixed<N> term = fixed_div_small(power, n);
        bool zero = true;
        for (int k = 0; k <= N; ++k) zero = zero && term.w[k] == 0;
        if (zero) break;
        sum = fixed_add(sum, term);
    }
    const Fixed<N> atanh2 = fixed_mul_small(sum, 2);
    const bool e_negative = e < 0;
    const Fixed<N> el = fixed_mul_small(fixed_const<N>(kLn2), uint32_t(e_negative ? -e : e));
    bool negative;
    Fixed<N> v;
    if (e_negative == s_negative || e == 0) {
        v = fixed_add(el, atanh2);
        negative = s_negative;
    } else {
        v = fixed_absdiff(el, atanh2, &negative);
        negative = negative ? s_negative : e_negative;
    }
    return fixed_round(v, negative, 1u << 13, out);
}

// NaN, zeros, negative numbers and +inf; false for the other arguments.
bool special(double x, double *out) {
    const uint64_t u = bits_of(x);
    if (x != x) {
        *out = x + x;
    } else if (x == 0.0) {
        *out = -1.0 / (x * x);  // -inf, raising divide-by-zero
    } else if (u >> 63) {
        *out = (x - x) / (x - x);  // NaN, raising invalid (also for -inf)
    } else if (u == 0x7FF0000000000000ull) {
        *out = x;
    } else if (x == 1.0) {
        *out = 0.0;
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool log_fast_dd(double x, DD *v, double *err) {
    double y;
    if (special(x, &y)) return false;
    *v = fast_dd(x, err);
    return true;
}

double log_accurate(double x) {
    double y;
    if (special(x, &y)) return y;
    if (!accurate<8>(x, &y)) accurate<16>(x, &y);
    return y;
}

#if defined(KWSIG_X86_KERNELS)
KWSIG_BEGIN_AVX2

namespace {

// fast_dd and round_dd on G groups of four arguments side by side, every
// operation as there, lane by lane. The groups' operations are written
// interleaved, one statement for all groups, so that their long dependency
// chains overlap within the core's reordering window: two groups written one
// after the other took up to 1.3 times as long (measured).
template <int G>
inline __attribute__((always_inline)) int log_lanes(const double *x, double *y) {
    using namespace four;
#define KWSIG_EACH for (int g = 0; g < G; ++g)  // one statement, every group
    __m256i u[G], normal[G], half[G], mb[G];
    __m256d ed[G], mh[G], ml[G], c[G], neg_log_hi[G], neg_log_lo[G], r[G];
    KWSIG_EACH u[g] = _mm256_castpd_si256(_mm256_loadu_pd(x + 4 * g));
    // Positive normal finite: 2^-1022 <= x < inf, as signed integers.
    KWSIG_EACH normal[g] =
        _mm256_and_si256(_mm256_cmpgt_epi64(u[g], _mm256_set1_epi64x(0x000FFFFFFFFFFFFFll)),
                         _mm256_cmpgt_epi64(_mm256_set1_epi64x(0x7FF0000000000000ll), u[g]));
    KWSIG_EACH half[g] = _mm256_and_si256(_mm256_srli_epi64(u[g], 51), _mm256_set1_epi64x(1));
    KWSIG_EACH mb[g] = _mm256_sub_epi64(
        _mm256_or_si256(_mm256_and_si256(u[g], _mm256_set1_epi64x(0x000FFFFFFFFFFFFFll)),
                        _mm256_set1_epi64x(0x3FF0000000000000ll)),
        _mm256_slli_epi64(half[g], 52));
    // e = biased exponent + half - 1023, exactly: (2^52 + k) - (2^52 + 1023).
    const __m256d two52 = _mm256_set1_pd(0x1p52);
    KWSIG_EACH ed[g] = _mm256_sub_pd(
        _mm256_castsi256_pd(_mm256_or_si256(
            _mm256_add_epi64(_mm256_srli_epi64(u[g], 52), half[g]), _mm256_castpd_si256(two52))),
        _mm256_set1_pd(0x1p52 + 1023.0));
    KWSIG_EACH mh[g] = _mm256_castsi256_pd(_mm256_andnot_si256(_mm256_set1_epi64x(0x1FF), mb[g]));
    KWSIG_EACH ml[g] = _mm256_sub_pd(_mm256_castsi256_pd(mb[g]), mh[g]);
    // The table entries by plain loads (AVX2 gathers are slow on some
    // cores), the index taken again from each argument's bits.
    KWSIG_EACH {
        const LogEntry *e[4];
        for (int k = 0; k < 4; ++k) e[k] = &kTable[(bits_of(x[4 * g + k]) >> 44) & 0xFF];
        const double *pairs[4] = {&e[0]->c, &e[1]->c, &e[2]->c, &e[3]->c};  // (c, -log c hi)
        LanesAvx2 cs, his;
        LanesAvx2::gather_pairs(pairs, cs, his);
        c[g] = cs.v, neg_log_hi[g] = his.v;
        neg_log_lo[g] = _mm256_setr_pd(e[0]->neg_log_lo, e[1]->neg_log_lo, e[2]->neg_log_lo,
                                       e[3]->neg_log_lo);
    }
    KWSIG_EACH r[g] = add(sub(mul(mh[g], c[g]), cst(1.0)), mul(ml[g], c[g]));
    __m256d st[G], rh[G], rl[G], a[G], b[G], r2[G], r3[G], r4[G], poly[G];
    KWSIG_EACH st[g] = mul(cst(134217729.0), r[g]);  // split(r)
    KWSIG_EACH rh[g] = sub(st[g], sub(st[g], r[g]));
    KWSIG_EACH rl[g] = sub(r[g], rh[g]);
    KWSIG_EACH a[g] = mul(cst(-0.5), mul(rh[g], rh[g]));
    KWSIG_EACH b[g] = mul(cst(-0.5), mul(rl[g], add(r[g], rh[g])));
    KWSIG_EACH r2[g] = mul(r[g], r[g]);
    KWSIG_EACH r3[g] = mul(r2[g], r[g]);
    KWSIG_EACH r4[g] = mul(r2[g], r2[g]);
    KWSIG_EACH {
        const __m256d p34 = add(cst(0x1.5555555555555p-2), mul(r[g], cst(-0x1p-2)));
        const __m256d p56 = add(cst(0x1.999999999999ap-3), mul(r[g], cst(-0x1.5555555555555p-3)));
        const __m256d p78 = add(cst(0x1.2492492492492p-3), mul(r[g], cst(-0x1p-3)));
        const __m256d p910 =
            add(cst(0x1.c71c71c71c71cp-4), mul(r[g], cst(-0x1.999999999999ap-4)));
        poly[g] = mul(r3[g], add(add(p34, mul(r2[g], p56)),
                                 mul(r4[g], add(p78, mul(r2[g], p910)))));
    }
    __m256d s1[G], t1[G], s2[G], t2[G], s3[G], t3[G], vh[G], vl[G];
    KWSIG_EACH fast_two_sum(mul(ed[g], cst(kLn2Hi)), neg_log_hi[g], s1[g], t1[g]);
    KWSIG_EACH fast_two_sum(s1[g], r[g], s2[g], t2[g]);
    KWSIG_EACH fast_two_sum(s2[g], a[g], s3[g], t3[g]);
    KWSIG_EACH {
        const __m256d low_terms = add(b[g], add(mul(ed[g], cst(kLn2Lo)), neg_log_lo[g]));
        const __m256d lo = add(poly[g], add(add(add(t1[g], t2[g]), t3[g]), low_terms));
        fast_two_sum(s3[g], lo, vh[g], vl[g]);
    }
    int left = 0;
    KWSIG_EACH {
        const __m256d err = add(mul(cst(0x1.8p-52), abs(r3[g])), mul(cst(0x1p-90), abs(vh[g])));
        const __m256d decided =
            _mm256_and_pd(rounded(vh[g], vl[g], err, y + 4 * g), _mm256_castsi256_pd(normal[g]));
        left |= (~_mm256_movemask_pd(decided) & 0xF) << 4 * g;
    }
#undef KWSIG_EACH
    return left;
}

void log_each_avx2(const double *x, double *y, std::size_t n) {
    constexpr int G = 2;  // four groups measured no faster
    std::size_t i = 0;
    for (; i + 4 * G <= n; i += 4 * G) {
        const int left = log_lanes<G>(x + i, y + i);
        if (__builtin_expect(left != 0, 0))
            for (int m = 0; m < 4 * G; ++m)
                if ((left >> m) & 1) y[i + m] = log(x[i + m]);
    }
    for (; i < n; ++i) y[i] = log(x[i]);
}

}  // namespace

int log4(const double *x, double *y) { return log_lanes<1>(x, y); }

KWSIG_END_AVX2
#else
int log4(const double *, double *) { return 0xF; }  // no AVX2 kernels: every lane to log()
#endif

void log_each(const double *x, double *y, std::size_t n) {
#if defined(KWSIG_X86_KERNELS)
    if (kernel_isa() == Isa::avx2) return log_each_avx2(x, y, n);
#endif
    for (std::size_t i = 0; i < n; ++i) y[i] = log(x[i]);
}

double log(double x) {
    // Positive normal numbers below +inf go straight to the fast path.
    const uint64_t u = bits_of(x);
    double y, err;
    if (u - 0x0010000000000000ull >= 0x7FE0000000000000ull) {
        if (special(x, &y)) return y;
    }
    const DD v = fast_dd(x, &err);
    if (round_dd(v, err, &y)) return y;
    return log_accurate(x);
}

}  // namespace math
}  // namespace kwsig
