/* jacobi-2d: two-dimensional five-point Jacobi stencil, A and B updated
   in turn. */
int TSTEPS = 2, N = 7;
double A[20][20], B[20][20];

int main(void)
{
  int t, i, j;
#pragma resource [2][4]
  for (t = 0; t < TSTEPS; t++) {
    for (i = 1; i < N - 1; i++)
      for (j = 1; j < N - 1; j++)
#pragma latency [4][1]
        B[i][j] = 0.2 * (A[i][j] + A[i][j - 1] + A[i][1 + j] + A[1 + i][j] + A[i - 1][j]);
    for (i = 1; i < N - 1; i++)
      for (j = 1; j < N - 1; j++)
#pragma latency [4][2]
        A[i][j] = 0.2 * (B[i][j] + B[i][j - 1] + B[i][1 + j] + B[1 + i][j] + B[i - 1][j]);
  }
  return 0;
}
