/* seidel-2d: two-dimensional nine-point Gauss-Seidel stencil, updated in
   place. */
int TSTEPS = 2, N = 7;
double A[20][20];

int main(void)
{
  int t, i, j;
#pragma resource [2][4]
  for (t = 0; t <= TSTEPS - 1; t++)
    for (i = 1; i <= N - 2; i++)
      for (j = 1; j <= N - 2; j++)
#pragma latency [4][2]
        A[i][j] = (A[i - 1][j - 1] + A[i - 1][j] + A[i - 1][j + 1]
                   + A[i][j - 1] + A[i][j] + A[i][j + 1]
                   + A[i + 1][j - 1] + A[i + 1][j] + A[i + 1][j + 1]) / 9.0;
  return 0;
}
