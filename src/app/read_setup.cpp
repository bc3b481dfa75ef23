#include "app/read_setup.hpp"

#include "input/number_reader.hpp"
#include "output/print.hpp"
#include "workspace/error_stop.hpp"

namespace cmatinv {

void read_setup(Workspace& ws) {
    print(ws.io.out, "\n The input matrix has dimension n x n. \n\n Enter n \n");
    // A dimension typed without digits leaves n at 0, which the minimum test refuses.
    read_integer(ws.io.in, ws.n);
    if (ws.n > MAX_DIM) {
        print(ws.io.out, "\n Error:  maximum dimension = 20 \n");
        throw ErrorStop{1};
    }
    if (ws.n < 2) {
        print(ws.io.out, "\n Error:  minimum dimension = 2 \n");
        throw ErrorStop{1};
    }
    print(ws.io.out, "\n\n Select data entry method:  1=keyboard  2=input file \n");
    // Not examined here: the input stage acts on 1 and 2 and stops on anything else.
    read_integer(ws.io.in, ws.method);
}

}  // namespace cmatinv
