#include "report/HtmlStyle.h"

namespace Orvel::Report {

const char* const kHtmlStyle = R"css(
:root{color-scheme:light dark;--bg:#fff;--fg:#1b1f24;--muted:#57606a;--line:#d0d7de;--panel:#f6f8fa;
--ok:#1a7f37;--ok-bg:#dafbe1;--bad:#cf222e;--bad-bg:#ffebe9;--warn:#9a6700;
--c0:#0969da;--c1:#cf222e;--c2:#1a7f37;--c3:#8250df;--c4:#bc4c00;--c5:#1b7c83;--c6:#bf3989;--c7:#6e7781}
@media (prefers-color-scheme:dark){:root{--bg:#0d1117;--fg:#e6edf3;--muted:#8d96a0;--line:#30363d;--panel:#161b22;
--ok:#3fb950;--ok-bg:#12261e;--bad:#f85149;--bad-bg:#2d1214;--warn:#d29922;
--c0:#4493f8;--c1:#f85149;--c2:#3fb950;--c3:#a371f7;--c4:#db6d28;--c5:#39c5cf;--c6:#db61a2;--c7:#9198a1}}
@media print{:root{color-scheme:light;--bg:#fff;--fg:#000;--muted:#444;--line:#bbb;--panel:#fff;
--ok:#1a7f37;--ok-bg:#fff;--bad:#cf222e;--bad-bg:#fff;--warn:#9a6700;
--c0:#0969da;--c1:#cf222e;--c2:#1a7f37;--c3:#8250df;--c4:#bc4c00;--c5:#1b7c83;--c6:#bf3989;--c7:#6e7781}
figure,tr,.banner{break-inside:avoid}}
*{box-sizing:border-box}
html{background:var(--bg);color:var(--fg)}
body{margin:0 auto;max-width:1240px;padding:16px 20px;font:14px/1.45 system-ui,-apple-system,"Segoe UI",sans-serif;
background:var(--bg);color:var(--fg);overflow-wrap:anywhere}
h1{font-size:22px;margin:0}h2{font-size:18px;margin:24px 0 8px}h3{font-size:15px;margin:16px 0 6px}
a{color:inherit;text-decoration:underline}
.banner{border:2px solid var(--line);border-left-width:10px;border-radius:6px;padding:12px 16px;background:var(--panel)}
.banner.passed{border-color:var(--ok)}.banner.failed{border-color:var(--bad)}
.verdict{font-size:26px;font-weight:700;margin:0}
.banner.passed .verdict{color:var(--ok)}.banner.failed .verdict{color:var(--bad)}
.banner dl{display:grid;grid-template-columns:max-content 1fr;gap:2px 14px;margin:10px 0 0}
.banner dt{color:var(--muted)}.banner dd{margin:0}
table{border-collapse:collapse;width:100%;table-layout:fixed}
th,td{border-bottom:1px solid var(--line);padding:4px 6px;text-align:left;vertical-align:top}
th{background:var(--panel)}
col.mark{width:130px}col.name{width:30%}col.ms{width:90px}
.checks td:nth-child(4),td.ms{text-align:right;font-variant-numeric:tabular-nums}
tr.failed td,tr.crashed td,tr.timed-out td,tr.ended-process td{background:var(--bad-bg)}
tr.failed td:first-child,tr.crashed td:first-child,tr.timed-out td:first-child,tr.ended-process td:first-child{color:var(--bad);font-weight:700}
tr.passed td:first-child{color:var(--ok)}
tr.verdict-failed .mark{color:var(--bad);font-weight:700}tr.verdict-passed .mark{color:var(--ok)}
pre{margin:0;white-space:pre-wrap;font:12px/1.35 ui-monospace,"Cascadia Mono",Consolas,monospace}
.note{color:var(--muted)}.warn{color:var(--warn)}
.charts{display:grid;grid-template-columns:repeat(3,minmax(0,1fr));gap:10px}
.pair{display:grid;grid-template-columns:repeat(2,minmax(0,1fr));gap:10px}
figure{margin:0;padding:6px;border:1px solid var(--line);border-radius:6px;background:var(--panel)}
figure.wide{max-width:640px}
figcaption{font-size:12px}
svg{display:block;width:100%;height:auto}
svg text{fill:var(--fg);font:11px system-ui,sans-serif}
.chart-title{font-weight:700;font-size:13px}
.tick-x,.label-x{text-anchor:middle}.tick-y{text-anchor:end;dominant-baseline:middle}
.label-y{text-anchor:middle}
.plot{fill:var(--bg);stroke:var(--line)}
.grid{stroke:var(--line);stroke-width:.6}.tick{stroke:var(--muted)}
.line{fill:none;stroke-width:1.6;stroke-linejoin:round}
path.s0{stroke:var(--c0)}path.s1{stroke:var(--c1)}path.s2{stroke:var(--c2)}path.s3{stroke:var(--c3)}
path.s4{stroke:var(--c4)}path.s5{stroke:var(--c5)}path.s6{stroke:var(--c6)}path.s7{stroke:var(--c7)}
circle.s0,.swatch.s0{fill:var(--c0);background:var(--c0)}circle.s1,.swatch.s1{fill:var(--c1);background:var(--c1)}
circle.s2,.swatch.s2{fill:var(--c2);background:var(--c2)}circle.s3,.swatch.s3{fill:var(--c3);background:var(--c3)}
circle.s4,.swatch.s4{fill:var(--c4);background:var(--c4)}circle.s5,.swatch.s5{fill:var(--c5);background:var(--c5)}
circle.s6,.swatch.s6{fill:var(--c6);background:var(--c6)}circle.s7,.swatch.s7{fill:var(--c7);background:var(--c7)}
.gap{fill:var(--bad)}
.back{stroke:var(--warn);stroke-dasharray:4 3}.back-label{fill:var(--warn)}
.bar{fill:var(--c0)}.swatch.bar{background:var(--c0)}
.p50,.p99,.max{stroke:var(--fg);stroke-dasharray:2 3}.budget{stroke:var(--bad);stroke-width:2;stroke-dasharray:8 4}
.swatch.budget{background:var(--bad)}
.mark-label.end{text-anchor:end}
.key{white-space:nowrap;margin-right:8px}
.swatch{display:inline-block;width:14px;height:4px;margin:0 4px 3px 0;vertical-align:middle}
)css";

}  // namespace Orvel::Report
