#include "gantrix/report/night/night_style.h"

namespace report::night {

const char* const kNightStyleSheet = R"(html{box-sizing:border-box}
*,*:before,*:after{box-sizing:inherit}
body{margin:0;font-family:"MS Sans Serif",sans-serif;font-size:15px;color:#111;background:#fff}
.night-top{background:#1b2a4a;color:#fff;padding:8px 16px;display:flex;flex-wrap:wrap;align-items:center;gap:12px}
.night-top img{display:block}
main{padding:8px 16px;max-width:980px}
h1{font-size:1.3em;margin:.6em 0}
h2{color:#087;font-size:1.12em;margin:1.4em 0 .4em}
p{margin:.4em 0}
table{border-collapse:collapse;margin:.3em 0}
td,th{border:1px solid #ccc;padding:2px 7px;text-align:right;white-space:nowrap}
th{background:#eee;text-align:center}
td.label{text-align:left}
.scroll{overflow-x:auto;max-width:100%}
figure{margin:.6em 0 1em 0;max-width:720px}
figure img{display:block;width:100%;height:auto;background:#101010}
figcaption{font-size:.9em;color:#333;margin-top:.2em}
.ra{color:#8a7f00;font-weight:bold}
.dec{color:#3c3cb4;font-weight:bold}
.note{color:#444}
.big{font-size:1.25em;font-weight:bold}
footer{background:#ddd;padding:8px 16px;font-size:.85em;margin-top:2em}
)";

}  // namespace report::night
