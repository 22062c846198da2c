/* jacobi-1d: one-dimensional Jacobi stencil, A and B updated in turn. */
int TSTEPS = 3, N = 12;
double A[30], B[30];

int main(void)
{
  int t, i;
#pragma resource [2][4]
  for (t = 0; t < TSTEPS; t++) {
    for (i = 1; i < N - 1; i++)
#pragma latency [3][1]
      B[i] = 0.33333 * (A[i - 1] + A[i] + A[i + 1]);
    for (i = 1; i < N - 1; i++)
#pragma latency [3][2]
      A[i] = 0.33333 * (B[i - 1] + B[i] + B[i + 1]);
  }
  return 0;
}
