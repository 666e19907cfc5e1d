#include "server/gio_state.h"

namespace grd_svr {

const char* const kGioFunctionNames[kGioFunctionCount] = {
    "GridIOSetup",
    "GridExists",
    "GridIOExit",
    "GridCopy",
    "GridRename",
    "GridDelete",
    "GridKill",
    "DescribeGridDbl",
    "BndCellRead",
    "CellLyrExists",
    "CellLayerCreate",
    "CellLayerCreateTiled",
    "CellLayerOpen",
    "CellLyrClose",
    "CellLyrCloseNoVat",
    "CellLyrDelete",
    "CellLyrGetIO",
    "CellLyrSetIO",
    "CellLyrName",
    "CellLyrItem",
    "CellLyrEvalType",
    "CellLyrBlockSize",
    "CellLyrSta",
    "AccessWindowSet",
    "WindowRows",
    "WindowCols",
    "WindowBox",
    "XY2WindowColRow",
    "AccessWindowClear",
    "PrivateAccessWindowSet",
    "PrivateWindowCols",
    "PrivateWindowRows",
    "PrivateWindowBox",
    "XY2PrivateWindowColRow",
    "PrivateAccessWindowClear",
    "GetWindowRow",
    "GetWindowRowFloat",
    "GetWindowRowInt",
    "PutWindowRow",
    "GetWindowBand",
    "GetWindowBandFloat",
    "GetWindowBandInt",
    "PutWindowBand",
    "GetWindowRectangle",
    "GetWindowRectangleInt",
    "GetWindowRectangleFloat",
    "PutWindowRectangle",
    "GetWindowCell",
    "GetWindowCellFloat",
    "GetWindowCellInt",
    "PutWindowCellFloat",
    "PutWindowCellInt",
    "PutWindowCell",
    "StaGetDbl",
    "StaGetMinmaxDbl",
    "GetMissingFloat",
};

const char* const kCleanWorkspaceName = "GridIOCleanWorkspace";

GIOState& GioState() {
  // Never destroyed: the unload hook's clean_up and static destructors of
  // other objects may still reach it.
  static GIOState* state = new GIOState;
  return *state;
}

}  // namespace grd_svr
