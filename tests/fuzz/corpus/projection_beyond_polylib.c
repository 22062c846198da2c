/* cholesky over a range of 10^6 with a counter from -5: a projection overflows
   PolyLib's 64-bit integers, and isl makes it instead. */
double latency(double);
int N = 7;
double A[20][20];

int main(void)
{
  int i, j, k;
#pragma resource [2][4]
  for (i = 0; i <= 1000000; i++) {
    for (j = -5; j < i; j++) {
      for (k = 0; k < j; k++)
#pragma latency [2][1]
        A[i][j] -= A[i][k] * A[j][k];
#pragma latency [4][2]
      A[i][j] /= A[j][j];
    }
    for (k = 0; k < i; k++)
#pragma latency [2][1]
      A[i][i] -= A[i][k] * A[i][k];
#pragma latency [8][4]
    A[i][i] = sqrt(A[i][i]);
  }
  return 0;
}
