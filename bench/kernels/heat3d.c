/* heat3d: the kernel of the speed figures in bench/README.md (whole process, against the first version). */
int TSTEPS = 4, N = 8;
double A[20][20][20], B[20][20][20];
int main(void)
{
  int t, i, j, k;
#pragma resource [4][16]
  for (t = 1; t <= TSTEPS; t++) {
    for (i = 1; i < N - 1; i++) {
      for (j = 1; j < N - 1; j++) {
        for (k = 1; k < N - 1; k++) {
#pragma latency [4][2]
          B[i][j][k] = 0.125 * (A[i+1][j][k] - 2.0 * A[i][j][k] + A[i-1][j][k]) + 0.125 * (A[i][j+1][k] - 2.0 * A[i][j][k] + A[i][j-1][k]) + 0.125 * (A[i][j][k+1] - 2.0 * A[i][j][k] + A[i][j][k-1]) + A[i][j][k];
        }
      }
    }
    for (i = 1; i < N - 1; i++) {
      for (j = 1; j < N - 1; j++) {
        for (k = 1; k < N - 1; k++) {
#pragma latency [4][2]
          A[i][j][k] = 0.125 * (B[i+1][j][k] - 2.0 * B[i][j][k] + B[i-1][j][k]) + 0.125 * (B[i][j+1][k] - 2.0 * B[i][j][k] + B[i][j-1][k]) + 0.125 * (B[i][j][k+1] - 2.0 * B[i][j][k] + B[i][j][k-1]) + B[i][j][k];
        }
      }
    }
  }
  return 0;
}
