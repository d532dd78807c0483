#pragma once

#include <QString>

namespace vx {

// Fills CommandTable with the controller mnemonics, and CR and LF.
void InitCommandTable();

// The mnemonic at an index of CommandTable.
const QString& Command(int index);

// Indexes into CommandTable, named after the mnemonic they hold ("do" is a keyword, hence do_).
// Index 5 holds "st" as well; senders use 86.
namespace cmd {
inline constexpr int ba = 0, rp = 1, ch = 2, sy = 3, unv = 4, cy = 6, en = 7, ad = 8, na = 9,
                     li = 10, po = 11, ve = 12, th = 13, mi = 14, ma = 15, da = 16, er = 17,
                     to = 18, te = 19, do_ = 20, bv = 21, wz = 22, wh = 23, tt = 24, sp = 25,
                     rh = 26, ty = 27, ts = 28, hs = 29, grantlid = 30, cw = 31, cx = 32, cz = 33,
                     dw = 34, dv = 35;
// The twelve cam PWM parameters are 36 + parameter number.
inline constexpr int ih = 36, iu = 37, id = 38, eh = 39, eu = 40, ed = 41, ii = 42, iv = 43,
                     ie = 44, ei = 45, ev = 46, ee = 47, it = 48, et = 49;
inline constexpr int camParam0 = ih;
inline constexpr int bs = 50, bw = 51, dd = 52, dt = 53, du = 54, fd = 55, fu = 56, g = 57, h = 58,
                     gn = 59, gp = 60, ip = 61, md = 62, mg = 63, mu = 64, un = 65, uf = 66,
                     nn = 67, nf = 68, pd = 69, pe = 70, pu = 71, re = 72, rs = 73, rw = 74,
                     tb = 75, tm = 76, ut = 77, gd = 78, ps = 79, ws = 80, ns = 81, up = 82,
                     dp = 83, nb = 84, bp = 85, st = 86, mr = 87, mt = 88, rm = 89, mp = 90,
                     dn = 91, df = 92, az = 93, ah = 94, ap = 95, co = 96, cf = 97, lp = 98,
                     am = 99, wp = 100, wd = 101, mm = 102, bn = 103;
inline constexpr int bl = 200, ds = 201, ex = 202, nd = 203, nu = 204, sc = 205, td = 206,
                     us = 207, lr = 208, rr = 209, ra = 210, ac = 211, cl = 212;
} // namespace cmd

} // namespace vx
