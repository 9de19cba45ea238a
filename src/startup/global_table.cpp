#include "startup/global_table.h"

#include <algorithm>

#include "services/runtime_error.h"

namespace quorin {

Value to_value(const Matrix& m) {
  if (m.rows == 0 || m.cols == 0) return Value();
  std::vector<double> col_order;
  col_order.reserve(m.rows * m.cols);
  for (const SharedArray& c : m.columns) col_order.insert(col_order.end(), c.begin(), c.end());
  return Value::numeric({m.rows, m.cols}, std::move(col_order));
}

Value handle_value(gfx::Handle h) { return h ? Value::number(h.value) : Value(); }

Value dialog_text_value(const DialogText& t) { return t ? Value::text(*t) : Value::number(0); }

namespace {

Value opt(const std::optional<double>& v) { return v ? Value::number(*v) : Value(); }

#define ROW(name, expr) \
  GlobalRow { #name, [](const Globals& g) -> Value { return expr; } }

const std::array<GlobalRow, 47> kGlobals = {{
    ROW(ID_lht, handle_value(g.ID_lht)),
    ROW(ID_rht, handle_value(g.ID_rht)),
    ROW(IDhandle, handle_value(g.IDhandle)),
    ROW(ShockData, g.ShockData),
    ROW(balance_lht, handle_value(g.balance_lht)),
    ROW(balance_rht, handle_value(g.balance_rht)),
    ROW(cbleed, Value::text(g.cbleed)),
    ROW(cbleedvalue, Value::number(g.cbleedvalue)),
    ROW(chigh, Value::text(g.chigh)),
    ROW(compforce, to_value(g.compforce)),
    ROW(compression_force, g.compression_force),
    ROW(compression_velocity, g.compression_velocity),
    ROW(compvel, to_value(g.compvel)),
    ROW(counter, Value::number(g.counter)),
    ROW(counter2, Value::number(g.counter2)),
    ROW(cspring, Value::text(g.cspring)),
    ROW(curveIDcompression, g.curveIDcompression),
    ROW(curveIDrebound, g.curveIDrebound),
    ROW(cvalve, Value::text(g.cvalve)),
    ROW(directory, Value::text(g.directory)),
    ROW(filename, g.filename),
    ROW(fn, dialog_text_value(g.fn)),
    ROW(import, to_value(g.import)),
    ROW(mr, g.mr),
    ROW(mrstr, Value::text(g.mrstr)),
    ROW(path, Value::text(g.path)),
    ROW(plotdata, to_value(g.plotdata)),
    ROW(plothandle, handle_value(g.plothandle)),
    ROW(plothandle_lht, handle_value(g.plothandle_lht)),
    ROW(plothandle_rht, handle_value(g.plothandle_rht)),
    ROW(pn, dialog_text_value(g.pn)),
    ROW(rbleed, Value::text(g.rbleed)),
    ROW(rebforce, to_value(g.rebforce)),
    ROW(rebound_force, g.rebound_force),
    ROW(rebound_velocity, g.rebound_velocity),
    ROW(rebvel, to_value(g.rebvel)),
    ROW(rhigh, Value::text(g.rhigh)),
    ROW(rspring, Value::text(g.rspring)),
    ROW(rvalve, Value::text(g.rvalve)),
    ROW(sitous_force, Value::number(g.sitous_force)),
    ROW(sitous_vel, Value::number(g.sitous_vel)),
    ROW(siunits, Value::number(g.siunits)),
    ROW(usunits, Value::number(g.usunits)),
    ROW(xmax, opt(g.xmax)),
    ROW(xmin, opt(g.xmin)),
    ROW(ymax, opt(g.ymax)),
    ROW(ymin, opt(g.ymin)),
}};

#undef ROW

}  // namespace

const std::array<GlobalRow, 47>& global_table() { return kGlobals; }

Value global_value(const Globals& g, std::string_view name) {
  auto it = std::find_if(kGlobals.begin(), kGlobals.end(),
                         [&](const GlobalRow& r) { return r.name == name; });
  if (it == kGlobals.end()) throw RuntimeError("There is no global named \"" + std::string(name) + "\".");
  return it->get(g);
}

}  // namespace quorin
