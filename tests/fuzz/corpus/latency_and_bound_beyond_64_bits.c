/* LU over a constant range of 10^9 with a latency of 10^5: a Farkas
   coefficient of the green schedule (2*10^19) is beyond 64 bits, refused
   at the latency pragma of the assignment whose constraints need it. */
int N = 6;
double A[6][6];

int main(void)
{
  int i, j, k;
#pragma resource [2][2]
  for (k = 0; k < 1000000000; k++) {
    for (i = 1; i < N; i++) {
#pragma latency [4][2]
      A[i][k] = A[i][k] / A[k][k];
    }
    for (i = 1; i < N; i++)
      for (j = 1; j < N; j++) {
#pragma latency [2][100000]
        A[i][j] = A[i][j] - A[i][k] * A[k][j];
      }
  }
  return 0;
}
