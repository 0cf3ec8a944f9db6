#include "Commands.h"

namespace qle {

void Commands::LoadScpiCommands()
{
    IdnCommand = "*IDN?";
    auto &q = QueryCommands;
    q[0] = ":CHAN1:MEAS:VOLT?";
    q[1] = ":CHAN1:MEAS:CURR?";
    q[2] = ":CHAN2:MEAS:VOLT?";
    q[3] = ":CHAN2:MEAS:CURR?";
    q[4] = ":CHAN3:MEAS:VOLT?";
    q[5] = ":CHAN3:MEAS:CURR?";
    q[6] = ":OUTP:STAT?";
    q[7] = ":OUTP:COUP:TRAC?";
    q[8] = ":SYST:AUTO:STAT?";
    q[9] = ":SYST:AUTO:STAR?";
    q[10] = ":SYST:AUTO:END?";
    q[11] = ":SYST:AUTO:CYCLE?";
    q[12] = ":SYST:AUTO:DEL?";
    q[13] = ":SYST:MEM?";
    q[14] = ":CHAN1:PROT:VOLT?";
    q[15] = ":CHAN2:PROT:VOLT?";
    q[16] = ":CHAN3:PROT:VOLT?";
    q[17] = ":CHAN1:PROT:CURR?";
    q[18] = ":CHAN2:PROT:CURR?";
    q[19] = ":CHAN3:PROT:CURR?";
    q[20] = ":CHAN1:VOLT?";
    q[21] = ":CHAN2:VOLT?";
    q[22] = ":CHAN3:VOLT?";
    q[23] = ":CHAN1:CURR?";
    q[24] = ":CHAN2:CURR?";
    q[25] = ":CHAN3:CURR?";
    q[26] = ":SYST:ERR?";
}

void Commands::LoadLegacyCommands()
{
    IdnCommand = "*IDN?";
    auto &q = QueryCommands;
    q[0] = "VOUT1?";
    q[1] = "IOUT1?";
    q[2] = "VOUT2?";
    q[3] = "IOUT2?";
    q[6] = "STATUS?";
    q[7] = "STATUS?";
    q[20] = "VSET1?";
    q[21] = "VSET2?";
    q[23] = "ISET1?";
    q[24] = "ISET2?";
    q[28] = "STATUS?";
}

} // namespace qle
