/* fdtd: the kernel of the speed figures in bench/README.md (whole process, against the first version). */
int TMAX = 4, NX = 6, NY = 7;
double ex[20][20], ey[20][20], hz[20][20], fict[20];
int main(void)
{
  int t, i, j;
#pragma resource [4][16]
  for (t = 0; t < TMAX; t++) {
    for (j = 0; j < NY; j++) {
#pragma latency [1][1]
      ey[0][j] = fict[t];
    }
    for (i = 1; i < NX; i++) {
      for (j = 0; j < NY; j++) {
#pragma latency [2][1]
        ey[i][j] = ey[i][j] - 0.5 * (hz[i][j] - hz[i-1][j]);
      }
    }
    for (i = 0; i < NX; i++) {
      for (j = 1; j < NY; j++) {
#pragma latency [2][1]
        ex[i][j] = ex[i][j] - 0.5 * (hz[i][j] - hz[i][j-1]);
      }
    }
    for (i = 0; i < NX - 1; i++) {
      for (j = 0; j < NY - 1; j++) {
#pragma latency [4][2]
        hz[i][j] = hz[i][j] - 0.7 * (ex[i][j+1] - ex[i][j] + ey[i+1][j] - ey[i][j]);
      }
    }
  }
  return 0;
}
